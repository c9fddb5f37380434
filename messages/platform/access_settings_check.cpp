#include "platform/access_settings_check.h"

#include "crypto/message_crypto.h"
#include "platform/family_rules.h"

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
    // WeCom and the third-party platform encrypt in every mode: they need all three.
    const bool always = alwaysEncrypted(settings.platform);
    if (settings.mode == MessageMode::Plain && !always)
        return std::nullopt;
    const QString mode = always ? platformCaption(settings.platform) + QStringLiteral("（总是加密）")
                                : messageModeLabel(settings.mode);
    const QString modeName = always ? platformName(settings.platform) + QStringLiteral(" (always encrypted)")
                                    : QStringLiteral("mode ") + messageModeName(settings.mode);
    if (settings.token.isEmpty()) {
        return AccessSettingsProblem{AccessSettingsProblem::Token, QStringLiteral("%1需要 Token").arg(mode),
                                     QStringLiteral("%1 needs a token").arg(modeName)};
    }
    if (settings.aesKey.isEmpty()) {
        return AccessSettingsProblem{AccessSettingsProblem::AesKey, QStringLiteral("%1需要 EncodingAESKey").arg(mode),
                                     QStringLiteral("%1 needs an EncodingAESKey").arg(modeName)};
    }
    if (settings.appId.isEmpty()) {
        const QString idName = receiveIdName(settings.platform);
        return AccessSettingsProblem{AccessSettingsProblem::AppId, QStringLiteral("%1需要 %2").arg(mode, idName),
                                     always ? QStringLiteral("%1 needs its %2").arg(modeName, settings.platform == Platform::WeCom ? idName : QStringLiteral("AppID"))
                                            : QStringLiteral("%1 needs an AppID").arg(modeName)};
    }
    return std::nullopt;
}
