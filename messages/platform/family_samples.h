#pragma once

#include "platform/more_samples.h"

#include <QList>

// The samples of the families other than the official account, as their
// platforms document the pushes, in menu order.
const QList<PushSample> &miniProgramSamples();
const QList<PushSample> &weComSamples();
const QList<PushSample> &openPlatformSamples();
