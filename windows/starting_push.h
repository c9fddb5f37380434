#pragma once

#include "platform/access_settings.h"
#include "platform/user_samples.h"

#include <QString>
#include <QStringList>

#include <optional>

// What the window's command line asks its XML box to start with:
// veltrane --sample subscribe --set FromUserName=o6_b… opens on that push.
struct StartingPush {
    std::optional<QString> sample; // --sample: the family's own, else the user's
    QStringList sets;              // --set NAME=VALUE, in order
    QString samplesFolder;         // where the user's samples are (--samples-dir)

    bool any() const { return sample || !sets.isEmpty(); }
};

// The box's first text: the named sample in the settings' family (a built-in
// name wins over the user's) or else `boxText`, with the fields set. On a
// name no sample has or a field that does not fit, `problem` says which.
SampleText startingPushText(const StartingPush &start, const QString &boxText, const AccessSettings &access);
