#pragma once

#include "platform/more_samples.h"

#include <QList>

// The events the platform pushes in bursts after a send to many users: one
// TEMPLATESENDJOBFINISH per template message, one MASSSENDJOBFINISH per mass
// send. Their id is spelt MsgID; each build gets a fresh one.
// Names: "templatesendjobfinish", "masssendjobfinish".
const QList<PushSample> &jobFinishSamples();
const PushSample *findJobFinishSample(QStringView name);
