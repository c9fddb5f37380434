#include "http/answer_opening.h"

#include "crypto/message_crypto.h"
#include "crypto/platform_signature.h"
#include "platform/family_rules.h"
#include "platform/json_fields.h"
#include "xml/xml_fields.h"

#include <QStringList>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kSignature = u"签名"_s;
const QString kDecryption = u"解密"_s;

AnswerCheck signatureCheck(const QMap<QString, QString> &fields, const QString &token)
{
    if (token.isEmpty())
        return {kSignature, false, u"未设置 Token，无法校验回复的 MsgSignature"_s};
    const QString given = fields.value(u"MsgSignature"_s);
    if (!fields.contains(u"MsgSignature"_s) || !fields.contains(u"TimeStamp"_s) || !fields.contains(u"Nonce"_s))
        return {kSignature, false, u"回复缺少 MsgSignature、TimeStamp 或 Nonce"_s};
    // Over the strings as sent: some SDKs stamp seconds, some milliseconds.
    const QString expected = platformSignature(
        {token, fields.value(u"TimeStamp"_s), fields.value(u"Nonce"_s), fields.value(u"Encrypt"_s)});
    if (!signaturesEqual(expected, given))
        return {kSignature, false, u"MsgSignature 为 %1，按 Token、TimeStamp、Nonce 和 Encrypt 算出的是 %2"_s.arg(given, expected)};
    return {kSignature, true, u"MsgSignature 与 Token、TimeStamp、Nonce、Encrypt 相符"_s};
}

} // namespace

OpenedAnswer openAnswer(const QString &answerText, const AccessSettings &access)
{
    // A mini-program's JSON reply carries the same members as an XML one.
    const auto fields = isJsonMessage(access, answerText) ? jsonObjectFields(answerText) : rootChildFields(answerText);
    OpenedAnswer opened;
    if (!fields.contains(u"Encrypt"_s))
        return opened;
    opened.encrypted = true;
    opened.checks.append(signatureCheck(fields, access.token));

    std::optional<QString> text;
    if (access.aesKey.isEmpty()) {
        opened.checks.append({kDecryption, false, u"回复是加密的，但未设置 EncodingAESKey，无法解密"_s});
    } else if (const auto key = decodeAesKey(access.aesKey); !key) {
        opened.checks.append({kDecryption, false, u"EncodingAESKey 无效，无法解密回复"_s});
    } else {
        const auto decrypted = decryptMessage(*key, fields.value(u"Encrypt"_s));
        if (const auto *failure = std::get_if<DecryptFailure>(&decrypted)) {
            opened.checks.append({kDecryption, false, describeDecryptFailure(*failure)});
        } else {
            const auto &message = std::get<DecryptedMessage>(decrypted);
            opened.checks.append({kDecryption, true, u"已用 EncodingAESKey 解密"_s});
            // The receive id by the family's own name: a WeCom reply sealed for another CorpID is named so.
            const QString appId = QString::fromUtf8(message.appId);
            const QString idName = receiveIdName(access.platform);
            opened.checks.append(appId == access.appId
                                     ? AnswerCheck{idName, true, u"%1 为 %2"_s.arg(idName, appId)}
                                     : AnswerCheck{idName, false, u"回复中的 %1 为“%2”，设置的是“%3”"_s.arg(idName, appId, access.appId)});
            text = QString::fromUtf8(message.message);
            opened.decrypted = text;
        }
    }

    QStringList failed;
    for (const AnswerCheck &check : std::as_const(opened.checks)) {
        if (!check.passed)
            failed.append(check.what + u"："_s + check.detail);
    }
    if (failed.isEmpty())
        opened.text = text;
    else
        opened.problem = u"加密的回复未通过校验，按原样显示。\n"_s + failed.join(u'\n');
    return opened;
}
