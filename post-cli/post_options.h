#pragma once

#include "access_settings.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>
#include <variant>

// What one run of veltrane-post was asked to do.
struct PostOptions {
    QString url;
    std::optional<QString> sample;   // a name from push_samples.h
    std::optional<QString> bodyFile; // a path, or "-" for standard input
    AccessSettings access;
    bool checkUrl = false;
    std::optional<int> repeat;       // --repeat: N posts and a summary instead of the answer
    int concurrency = 1;
    bool json = false;
    std::chrono::milliseconds stallTimeout{30'000};
    bool verbose = false;
    bool help = false;
    bool version = false;
};

// Why the command line cannot be run, in one line.
struct UsageError {
    QString reason;
};

inline constexpr int kMaxRepeat = 10'000;
inline constexpr int kMaxConcurrency = 64;

// The arguments after the program's name.
std::variant<PostOptions, UsageError> parsePostOptions(const QStringList &arguments);
