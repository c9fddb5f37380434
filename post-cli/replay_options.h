#pragma once

#include "post_options.h"

#include <QSet>

// --replay FILE, --entry N, --resign: true when the option was one of them.
bool readReplayOption(PostOptions &options, const QString &name, const QString &value);

// What --replay cannot go with, and what --entry and --resign need.
std::optional<UsageError> replayMisfit(const PostOptions &options, const QSet<QString> &given);
