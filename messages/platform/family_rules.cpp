#include "platform/family_rules.h"

using namespace Qt::Literals::StringLiterals;

bool alwaysEncrypted(Platform platform)
{
    return platform == Platform::WeCom || platform == Platform::OpenPlatform;
}

bool repliesMustBeEncrypted(const AccessSettings &access)
{
    return access.encrypts() && (access.mode == MessageMode::Safe || alwaysEncrypted(access.platform));
}

QString receiveIdName(Platform platform)
{
    switch (platform) {
    case Platform::WeCom:
        return u"CorpID"_s;
    case Platform::OpenPlatform:
        return u"第三方平台 AppID"_s;
    default:
        return u"AppID"_s;
    }
}

bool pushesJson(const AccessSettings &access)
{
    return access.platform == Platform::MiniProgram && access.format == BodyFormat::Json;
}

bool looksLikeJson(const QString &text)
{
    for (const QChar c : text) {
        if (!c.isSpace())
            return c == u'{';
    }
    return false;
}

bool isJsonMessage(const AccessSettings &access, const QString &text)
{
    return access.platform == Platform::MiniProgram && looksLikeJson(text);
}
