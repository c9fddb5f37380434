#pragma once

#include <QString>

// --help's part for --replay.
QString replayHelpText();
