#include "platform/signed_post.h"

#include "crypto/message_crypto.h"
#include "crypto/platform_signature.h"
#include "crypto/secure_random.h"
#include "http/url_query.h"
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

} // namespace

SigningInputs freshSigningInputs()
{
    return {QString::number(QDateTime::currentSecsSinceEpoch()), secureRandomDigits(10), secureRandomBytes(16)};
}

SignedPost signPost(const QString &url, const QString &body, const AccessSettings &access, const SigningInputs &inputs)
{
    if (!access.signs())
        return {url, body, std::nullopt, std::nullopt};

    // Fields of a body that is not XML enough are empty: the post still goes,
    // and the endpoint's answer says what it made of it.
    const auto fields = rootChildFields(body);
    QList<std::pair<QString, QString>> query = {
        {u"signature"_s, platformSignature({access.token, inputs.timestamp, inputs.nonce})},
        {u"timestamp"_s, inputs.timestamp},
        {u"nonce"_s, inputs.nonce},
    };
    const QString openId = access.openId.isEmpty() ? fields.value(u"FromUserName"_s) : access.openId;
    if (!openId.isEmpty())
        query.append({u"openid"_s, openId});
    if (!access.encrypts())
        return {withQueryParameters(url, query), body, std::nullopt, std::nullopt};

    const auto key = decodeAesKey(access.aesKey);
    if (!key)
        return {url, body, std::nullopt,
                u"EncodingAESKey 无效：应为 43 个字符，补上“=”后能按 base64 解出 32 字节"_s};
    const QString encrypt = encryptMessage(*key, inputs.random16, body.toUtf8(), access.appId.toUtf8());
    if (encrypt.isEmpty())
        return {url, body, std::nullopt, u"无法加密消息：随机数应为 16 字节"_s};
    query.append({u"encrypt_type"_s, u"aes"_s});
    query.append({u"msg_signature"_s, platformSignature({access.token, inputs.timestamp, inputs.nonce, encrypt})});

    const QString encryptElement = u"<Encrypt>"_s + cdata(encrypt) + u"</Encrypt>"_s;
    const QString sent = access.mode == MessageMode::Safe
        ? u"<xml><ToUserName>"_s + cdata(fields.value(u"ToUserName"_s)) + u"</ToUserName>"_s + encryptElement
            + u"</xml>"_s
        : withEncryptElement(body, encryptElement);
    return {withQueryParameters(url, query), sent, body, std::nullopt};
}
