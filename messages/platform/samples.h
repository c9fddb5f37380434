#pragma once

#include <QString>

// The three push messages the platform sends for a user's picture, text and
// location, exactly as they arrive: lines joined by CR LF, nothing after "</xml>".
QString BuildPictureSample();
QString BuildTextSample();
QString BuildLocationSample();
