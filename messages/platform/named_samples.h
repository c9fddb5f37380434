#pragma once

#include "platform/access_settings.h"

#include <QString>
#include <QStringList>

#include <optional>

// The pushes a storm or a single post names for a family (veltrane-post
// --sample, the 压力测试 window). The official account's: the
// window's three, byte-exact, and the further message and event types; the
// other families': their own lists, the first one the default.
QStringList sampleNames(Platform platform = Platform::OfficialAccount);

// The push of that name in the settings' family (and body format, addressed
// to their receive id and AgentID), or nothing for a name the family lacks.
// Samples that carry a MsgId or a code get fresh ones on every call, so
// repeated posts are distinct messages.
std::optional<QString> buildSample(const QString &name, const AccessSettings &access = {});
