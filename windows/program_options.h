#pragma once

#include "platform/access_settings.h"
#include "starting_push.h"

#include <QString>
#include <QStringList>

#include <optional>

// The access settings the command line gives for this run: each one given
// wins over the saved one, and none of them is saved.
struct AccessOverrides {
    std::optional<QString> token;
    std::optional<QString> aesKey;
    std::optional<QString> appId;
    std::optional<QString> openId;
    std::optional<MessageMode> mode;

    AccessSettings over(AccessSettings saved) const;
    bool any() const { return token || aesKey || appId || openId || mode; }
};

// What OK in the access settings dialog leaves behind. A field the user
// changed is saved and holds from now on; a field left as shown keeps its
// saved value, and a command-line value shown in it still holds for this run.
struct AccessEdit {
    AccessSettings saved;
    AccessOverrides overrides;
};
AccessEdit applyAccessEdit(const AccessSettings &saved, const AccessOverrides &overrides, const AccessSettings &edited);

// What the command line asks: run with these overrides, or end at once with
// a status and what to print (--help, --version, or a bad option).
struct ProgramOptions {
    AccessOverrides overrides;
    StartingPush start; // the XML box's first text, when asked
    std::optional<int> exitStatus;
    QString toStdout;
    QString toStderr;
};

// Parses veltrane's arguments (the program's name first). The overrides are
// checked over the saved settings, so a run never starts with settings that
// cannot sign and encrypt.
ProgramOptions parseProgramOptions(const QStringList &arguments, const AccessSettings &saved);
