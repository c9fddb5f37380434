#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The pushes --sample names: the window's three, byte-exact, and the further
// message and event types.
QStringList sampleNames();

// The push of that name, or nothing for an unknown name. Samples that carry a
// MsgId get a fresh one on every call, so repeated posts are distinct messages.
std::optional<QString> buildSample(const QString &name);
