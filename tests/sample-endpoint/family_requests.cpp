#include "family_requests.h"

#include "crypto/message_crypto.h"
#include "crypto/platform_signature.h"
#include "platform/more_samples.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QUrl>
#include <QXmlStreamReader>

using namespace Qt::Literals::StringLiterals;

namespace {

// The documented WeCom examples' timestamp and nonce.
const QString kTimestamp = u"1409659589"_s;
const QString kNonce = u"263014780"_s;

// The answer's fields, whether XML or JSON.
QMap<QString, QString> answerFields(const QByteArray &body)
{
    QMap<QString, QString> fields;
    if (body.startsWith('{')) {
        const QJsonObject object = QJsonDocument::fromJson(body).object();
        for (auto it = object.begin(); it != object.end(); ++it)
            fields.insert(it.key(), it.value().toVariant().toString());
        return fields;
    }
    QXmlStreamReader reader(body);
    if (!reader.readNextStartElement() || reader.name() != u"xml")
        return {};
    while (reader.readNextStartElement())
        fields.insert(reader.name().toString(), reader.readElementText());
    return fields;
}

} // namespace

QByteArray familyAesKey()
{
    return decodeAesKey(kFamilyAesKey).value_or(QByteArray());
}

QString seal(const QByteArray &plaintext, const QByteArray &receiveId)
{
    return encryptMessage(familyAesKey(), "aaaabbbbccccdddd", plaintext, receiveId);
}

QByteArray param(const char *name, const QString &value)
{
    return '&' + QByteArray(name) + '=' + QUrl::toPercentEncoding(value);
}

QByteArray signedQuery(int sign, const QString &encrypt)
{
    QByteArray query = "timestamp=" + kTimestamp.toLatin1() + "&nonce=" + kNonce.toLatin1();
    QString signature = platformSignature({kFamilyToken, kTimestamp, kNonce});
    QString msgSignature = platformSignature({kFamilyToken, kTimestamp, kNonce, encrypt});
    if (sign & ForgeSignature)
        signature[0] = signature[0] == u'0' ? u'1' : u'0';
    if (sign & ForgeMsgSignature)
        msgSignature[0] = msgSignature[0] == u'0' ? u'1' : u'0';
    if (sign & Signature)
        query += param("signature", signature);
    if (sign & MsgSignature)
        query += param("msg_signature", msgSignature);
    if (sign & EncryptType)
        query += "&encrypt_type=aes";
    return query;
}

const QByteArray kTextXml = "<xml><ToUserName><![CDATA[gh_x]]></ToUserName><FromUserName><![CDATA[openid1]]>"
                            "</FromUserName><CreateTime>1409659813</CreateTime><MsgType><![CDATA[text]]></MsgType>"
                            "<Content><![CDATA[hi]]></Content><MsgId>1</MsgId></xml>";
const QByteArray kTextJson = R"({"ToUserName":"gh_x","FromUserName":"openid1","CreateTime":1409659813,)"
                             R"("MsgType":"text","Content":"hi","MsgId":4561255354251345929})";
const QByteArray kWeComText = "<xml><ToUserName><![CDATA[wx5823bf96d3bd56c7]]></ToUserName><FromUserName><![CDATA["
                              "mycreate]]></FromUserName><CreateTime>1409659813</CreateTime><MsgType><![CDATA[text]]>"
                              "</MsgType><Content><![CDATA[hello]]></Content><MsgId>4561255354251345929</MsgId>"
                              "<AgentID>218</AgentID></xml>";
const QByteArray kKnownWeComCheck = "msg_signature=b309c10440a256fce7ee971dcb3d4bb90bb84b58&timestamp=1409659589"
                                    "&nonce=263014780&echostr=ZA4HuQypHxnRrA%2BA6SOHGBrLwC4qTpioFBAwS8sWQargL2v36cq"
                                    "pkflnTETiEfx1ENyxF%2F%2F0qabzdITnXXrAGA%3D%3D";
const QByteArray kKnownWeComPushQuery
    = "msg_signature=fb27d9bb54e9dd8c2d80a6ec1a67cb8d794fdd01&timestamp=1409659589&nonce=263014780";
const QByteArray kTicket = "<xml><AppId><![CDATA[wxcomponent00001]]></AppId><CreateTime>1413192605</CreateTime>"
                           "<InfoType><![CDATA[component_verify_ticket]]></InfoType><ComponentVerifyTicket><![CDATA["
                           "ticket@@@x]]></ComponentVerifyTicket></xml>";

QByteArray xmlEnvelope(const QString &encrypt, const QByteArray &head)
{
    return "<xml>" + head + "<Encrypt><![CDATA[" + encrypt.toLatin1() + "]]></Encrypt></xml>";
}

QByteArray jsonEnvelope(const QString &encrypt)
{
    return R"({"ToUserName":"gh_x","Encrypt":")" + encrypt.toLatin1() + "\"}";
}

QByteArray openEnvelope(const QString &encrypt)
{
    return xmlEnvelope(encrypt, "<AppId><![CDATA[wxcomponent00001]]></AppId>");
}

QString said(const QByteArray &body, const QByteArray &receiveId)
{
    const auto fields = answerFields(body);
    if (fields.contains(u"Encrypt"_s)) {
        const QString encrypt = fields.value(u"Encrypt"_s);
        const QString expected
            = platformSignature({kFamilyToken, fields.value(u"TimeStamp"_s), fields.value(u"Nonce"_s), encrypt});
        if (fields.value(u"MsgSignature"_s) != expected)
            return u"enc: MsgSignature wrong"_s;
        const auto opened = decryptMessage(familyAesKey(), encrypt);
        if (!std::holds_alternative<DecryptedMessage>(opened))
            return u"enc: cannot decrypt"_s;
        const auto &message = std::get<DecryptedMessage>(opened);
        if (message.appId != receiveId)
            return u"enc: receive id "_s + QString::fromLatin1(message.appId);
        return (body.startsWith('{') ? u"enc json:"_s : u"enc xml:"_s) + said(message.message, receiveId);
    }
    if (fields.contains(u"Content"_s))
        return (body.startsWith('{') ? u"json:"_s : u"xml:"_s) + fields.value(u"Content"_s);
    return QString::fromUtf8(body);
}


QList<FamilyPost> familyPosts(bool withMiniProgramXml)
{
    const QStringList keyed = {u"--token"_s, kFamilyToken, u"--aes-key"_s, kFamilyAesKey};
    const QStringList wecom = {u"--platform=wecom"_s, u"--corpid"_s, QString::fromLatin1(kCorpId), u"--agentid=1000002"_s};
    const QStringList mini = {u"--platform=miniprogram"_s, u"--appid"_s, QString::fromLatin1(kMiniAppId)};
    const QStringList open = {u"--platform=open"_s, u"--appid"_s, QString::fromLatin1(kComponentAppId)};
    struct Mode {
        QString name;
        Platform platform;
        QStringList options;
    };
    QList<Mode> modes = {{u"wecom"_s, Platform::WeCom, wecom + QStringList{u"--mode=safe"_s}}};
    for (const QString &format : {u"json"_s, u"xml"_s}) {
        if (format == u"xml" && !withMiniProgramXml)
            continue;
        for (const QString &mode : {u"plain"_s, u"compat"_s, u"safe"_s})
            modes.append({u"mini %1 %2"_s.arg(format, mode), Platform::MiniProgram,
                          mini + QStringList{u"--format="_s + format, u"--mode="_s + mode}});
    }
    modes.append({u"open"_s, Platform::OpenPlatform, open + QStringList{u"--mode=safe"_s}});

    QList<FamilyPost> posts;
    for (const Mode &mode : std::as_const(modes)) {
        const QString answer = mode.platform == Platform::OpenPlatform ? u"success"_s : u"收到"_s;
        if (mode.platform != Platform::OpenPlatform) // the third-party platform has no URL check
            posts.append({mode.name + u": URL check"_s, mode.platform, mode.options + keyed + QStringList{u"--check-url"_s},
                          QString()});
        for (const PushSample &sample : pushSamples(mode.platform))
            posts.append({mode.name + u": "_s + sample.name, mode.platform,
                          mode.options + keyed + QStringList{u"--sample"_s, sample.name}, answer});
    }
    return posts;
}
