#pragma once

#include <QString>

// The part of --help that tells of --platform pay, in Chinese and in English.
QString payHelpText();
