#pragma once

#include "platform/access_settings.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <optional>
#include <variant>

// What one run of veltrane-post was asked to do.
struct PostOptions {
    QString url;
    std::optional<QString> sample;   // a name from platform/named_samples.h, of the family in access.platform, or a user sample's
    QString samplesDir;              // --samples-dir; else the user's samples folder
    std::optional<QString> bodyFile; // a path, or "-" for standard input
    QStringList sets;                // --set NAME=VALUE, in order: fields of the push replaced before signing
    AccessSettings access;
    bool checkUrl = false;
    bool savedSettings = false;      // --saved-settings: what the window saved fills in the access settings
    std::optional<int> repeat;       // --repeat: N posts and a summary instead of the answer
    std::optional<std::chrono::milliseconds> every; // --every: a post each period until interrupted
    int concurrency = 1;
    bool json = false;
    std::chrono::milliseconds stallTimeout{30'000};
    std::optional<std::chrono::milliseconds> maxTime; // --max-time: the whole exchange's deadline
    QString caFile;                                   // --cacert; empty: the environment's, as curl reads it
    QString harFile;                                  // --har: every exchange of the run written there
    bool verbose = false;
    bool deliver = false;            // --deliver: as the platform delivers, cut at 5 s and tried up to three times
    bool conformance = false;        // --conformance: the checks of conformance.h and a scorecard
    std::optional<QString> junitFile; // --junit: the conformance run's JUnit XML is written there
    std::optional<double> rate;       // --rate: with --repeat, posts per second, open loop
    std::optional<QString> replayFile; // --replay: a HAR file's POST sent again (URL, if given, replaces its address)
    std::optional<int> replayEntry;    // --entry: which of its POST entries, from 1
    bool resign = false;               // --resign: signed afresh under the access settings, not as recorded
    bool help = false;
    bool version = false;
};

// Where access settings come from besides the options, which win over both:
// the environment, then what the window saved (--saved-settings).
struct SettingSources {
    // An environment variable's value; empty: unset.
    std::function<QString(const char *name)> environment;
    // What the window saved (nothing: no such file), and where, for a message that names it.
    std::function<std::optional<AccessSettings>()> saved;
    QString savedFile;
};

// Why the command line cannot be run, in one line.
struct UsageError {
    QString reason;
};

inline constexpr int kMaxRepeat = 10'000;
inline constexpr int kMaxConcurrency = 64;

// Seconds from 0.001 to 86400, as every timing option takes them; anything else: none.
std::optional<std::chrono::milliseconds> optionSeconds(const QString &text);
// What is wrong with --cacert's file, in Chinese; nothing: it can be read.
std::optional<QString> caFileProblem(const QString &file);
inline constexpr double kMaxRate = 200;

// The arguments after the program's name.
std::variant<PostOptions, UsageError> parsePostOptions(const QStringList &arguments, const SettingSources &sources = {});
