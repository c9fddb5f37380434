#pragma once

#include "access_settings.h"

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
};

// What the command line asks: run with these overrides, or end at once with
// a status and what to print (--help, --version, or a bad option).
struct ProgramOptions {
    AccessOverrides overrides;
    std::optional<int> exitStatus;
    QString toStdout;
    QString toStderr;
};

// Parses veltrane's arguments (the program's name first). The overrides are
// checked over the saved settings, so a run never starts with settings that
// cannot sign and encrypt.
ProgramOptions parseProgramOptions(const QStringList &arguments, const AccessSettings &saved);
