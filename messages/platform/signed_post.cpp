#include "platform/signed_post.h"

#include "crypto/message_crypto.h"
#include "crypto/platform_signature.h"
#include "crypto/secure_random.h"
#include "http/url_query.h"
#include "platform/family_rules.h"
#include "platform/json_fields.h"
#include "xml/xml_fields.h"

#include <QDateTime>

using namespace Qt::Literals::StringLiterals;

namespace {

QString cdata(QString text)
{
    text.replace(u"]]>"_s, u"]]]]><![CDATA[>"_s);
    return u"<![CDATA["_s + text + u"]]>"_s;
}

// Compatible mode: the Encrypt element goes before the last "</xml>"; a body
// without one gets it at the end, so the endpoint still sees what was typed.
QString withEncryptElement(const QString &body, const QString &element)
{
    const qsizetype closing = body.lastIndexOf(u"</xml>"_s);
    if (closing < 0)
        return body + element;
    return body.left(closing) + element + body.mid(closing);
}

// Compatible mode for JSON, as for XML: the body as typed with an Encrypt
// member added before the last "}", so the endpoint reads both the plain
// fields and the encrypted ones, as the mini-program's compatible mode means.
QString withEncryptMember(const QString &body, const QString &encrypt)
{
    const QString member = u"\"Encrypt\":"_s + jsonString(encrypt);
    const qsizetype closing = body.lastIndexOf(u'}');
    if (closing < 0)
        return body + member;
    qsizetype before = closing - 1;
    while (before >= 0 && body.at(before).isSpace())
        --before;
    const bool empty = before >= 0 && body.at(before) == u'{';
    return body.left(closing) + (empty ? QString() : u","_s) + member + body.mid(closing);
}

// The fields of the push as the endpoint's parser reads them, XML or JSON.
QMap<QString, QString> pushFields(const QString &body, const AccessSettings &access)
{
    return isJsonMessage(access, body) ? jsonObjectFields(body) : rootChildFields(body);
}

// What the family sends around its Encrypt text.
QString encryptedBody(const QString &body, const QMap<QString, QString> &fields, const AccessSettings &access,
                      const QString &encrypt)
{
    const QString encryptElement = u"<Encrypt>"_s + cdata(encrypt) + u"</Encrypt>"_s;
    switch (access.platform) {
    case Platform::WeCom: {
        // The platform addresses a callback to the receive id; a suite's callbacks carry no AgentID.
        const QString agentId = fields.value(u"AgentID"_s, access.agentId);
        return u"<xml><ToUserName>"_s + cdata(access.appId) + u"</ToUserName><AgentID>"_s + cdata(agentId)
            + u"</AgentID>"_s + encryptElement + u"</xml>"_s;
    }
    case Platform::OpenPlatform:
        return u"<xml><AppId>"_s + cdata(access.appId) + u"</AppId>"_s + encryptElement + u"</xml>"_s;
    default:
        break;
    }
    if (isJsonMessage(access, body)) {
        if (access.mode == MessageMode::Safe)
            return u"{\"ToUserName\":"_s + jsonString(fields.value(u"ToUserName"_s)) + u",\"Encrypt\":"_s
                + jsonString(encrypt) + u"}"_s;
        return withEncryptMember(body, encrypt);
    }
    return access.mode == MessageMode::Safe
        ? u"<xml><ToUserName>"_s + cdata(fields.value(u"ToUserName"_s)) + u"</ToUserName>"_s + encryptElement
            + u"</xml>"_s
        : withEncryptElement(body, encryptElement);
}

} // namespace

SigningInputs freshSigningInputs()
{
    return {QString::number(QDateTime::currentSecsSinceEpoch()), secureRandomDigits(10), secureRandomBytes(16)};
}

SignedPost signPost(const QString &url, const QString &body, const AccessSettings &access, const SigningInputs &inputs)
{
    if (!access.signs())
        return {url, body, std::nullopt, std::nullopt};

    // Fields of a body that is not XML (or JSON) enough are empty: the post
    // still goes, and the endpoint's answer says what it made of it.
    const auto fields = pushFields(body, access);
    const QString signature = platformSignature({access.token, inputs.timestamp, inputs.nonce});
    // WeCom signs only the encrypted message: no signature, no encrypt_type.
    const bool weCom = access.platform == Platform::WeCom;
    QList<std::pair<QString, QString>> query;
    if (!weCom)
        query.append({u"signature"_s, signature});
    query.append({u"timestamp"_s, inputs.timestamp});
    query.append({u"nonce"_s, inputs.nonce});
    // Only a user's message names an openid; the third-party platform's events have no user.
    const QString openId = access.openId.isEmpty() ? fields.value(u"FromUserName"_s) : access.openId;
    if (!openId.isEmpty() && !weCom && access.platform != Platform::OpenPlatform)
        query.append({u"openid"_s, openId});
    if (!access.encrypts())
        return {withQueryParameters(url, query), body, std::nullopt, std::nullopt};

    const auto key = decodeAesKey(access.aesKey);
    if (!key) {
        return {url, body, std::nullopt,
                alwaysEncrypted(access.platform)
                    ? u"%1的推送总是加密的，需要 EncodingAESKey：43 个字符，补上“=”后能按 base64 解出 32 字节"_s.arg(
                          platformCaption(access.platform))
                    : u"EncodingAESKey 无效：应为 43 个字符，补上“=”后能按 base64 解出 32 字节"_s};
    }
    const QString encrypt = encryptMessage(*key, inputs.random16, body.toUtf8(), access.appId.toUtf8());
    if (encrypt.isEmpty())
        return {url, body, std::nullopt, u"无法加密消息：随机数应为 16 字节"_s};
    if (!weCom)
        query.append({u"encrypt_type"_s, u"aes"_s});
    const QString msgSignature = platformSignature({access.token, inputs.timestamp, inputs.nonce, encrypt});
    if (weCom)
        query.prepend({u"msg_signature"_s, msgSignature});
    else
        query.append({u"msg_signature"_s, msgSignature});
    return {withQueryParameters(url, query), encryptedBody(body, fields, access, encrypt), body, std::nullopt};
}
