#include "platform/access_settings_check.h"

#include "crypto/message_crypto.h"

#include <algorithm>

namespace {

constexpr int kAesKeyLength = 43;

bool isBase64Character(QChar c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'+'
        || c == u'/';
}

} // namespace

QString messageModeName(MessageMode mode)
{
    switch (mode) {
    case MessageMode::Plain:
        return QStringLiteral("plain");
    case MessageMode::Compatible:
        return QStringLiteral("compat");
    case MessageMode::Safe:
        return QStringLiteral("safe");
    }
    Q_UNREACHABLE();
}

std::optional<MessageMode> messageModeFromName(const QString &name)
{
    for (MessageMode mode : {MessageMode::Plain, MessageMode::Compatible, MessageMode::Safe}) {
        if (name == messageModeName(mode))
            return mode;
    }
    return std::nullopt;
}

QString messageModeLabel(MessageMode mode)
{
    switch (mode) {
    case MessageMode::Plain:
        return QStringLiteral("明文模式");
    case MessageMode::Compatible:
        return QStringLiteral("兼容模式");
    case MessageMode::Safe:
        return QStringLiteral("安全模式");
    }
    Q_UNREACHABLE();
}

std::optional<AccessSettingsProblem> aesKeyProblem(const QString &key)
{
    if (key.isEmpty())
        return std::nullopt;
    if (key.size() != kAesKeyLength) {
        return AccessSettingsProblem{AccessSettingsProblem::AesKey,
                                     QStringLiteral("EncodingAESKey 应为 43 个字符，现在是 %1 个").arg(key.size()),
                                     QStringLiteral("EncodingAESKey must be 43 characters, not %1").arg(key.size())};
    }
    // decodeAesKey refuses these too; checked first so the message can say
    // which characters a key may hold.
    if (!std::all_of(key.begin(), key.end(), isBase64Character)) {
        return AccessSettingsProblem{AccessSettingsProblem::AesKey,
                                     QStringLiteral("EncodingAESKey 只能含字母、数字、+ 和 /"),
                                     QStringLiteral("EncodingAESKey may hold only letters, digits, + and /")};
    }
    if (!decodeAesKey(key)) {
        return AccessSettingsProblem{AccessSettingsProblem::AesKey,
                                     QStringLiteral("EncodingAESKey 无法解码为 32 字节的密钥"),
                                     QStringLiteral("EncodingAESKey does not decode to a 32-byte key")};
    }
    return std::nullopt;
}

std::optional<AccessSettingsProblem> accessSettingsProblem(const AccessSettings &settings)
{
    if (auto problem = aesKeyProblem(settings.aesKey))
        return problem;
    if (settings.mode == MessageMode::Plain)
        return std::nullopt;
    const QString mode = messageModeLabel(settings.mode);
    const QString modeName = messageModeName(settings.mode);
    if (settings.token.isEmpty()) {
        return AccessSettingsProblem{AccessSettingsProblem::Token, QStringLiteral("%1需要 Token").arg(mode),
                                     QStringLiteral("mode %1 needs a token").arg(modeName)};
    }
    if (settings.aesKey.isEmpty()) {
        return AccessSettingsProblem{AccessSettingsProblem::AesKey, QStringLiteral("%1需要 EncodingAESKey").arg(mode),
                                     QStringLiteral("mode %1 needs an EncodingAESKey").arg(modeName)};
    }
    if (settings.appId.isEmpty()) {
        return AccessSettingsProblem{AccessSettingsProblem::AppId, QStringLiteral("%1需要 AppID").arg(mode),
                                     QStringLiteral("mode %1 needs an AppID").arg(modeName)};
    }
    return std::nullopt;
}
