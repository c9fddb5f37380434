#pragma once

#include <QString>

// --help: the usage in Chinese, then in English.
QString helpText();

// --version: "veltrane-post 1.0.0".
QString versionText();
