#include "platform/verdict.h"

#include "http/library_words.h"
#include "xml/partwise_xml_reader.h"
#include "http/post_failure.h"
#include "platform/family_rules.h"
#include "platform/json_fields.h"
#include "xml/xml_fields.h"

#include <QJsonDocument>

#include <optional>

namespace {

// The platform drops the connection after this long and retries.
constexpr double kPlatformWaitMs = 5000;
constexpr int kMaxArticles = 8;

// An element and what is below it; enough of XML to judge a passive reply.
struct Element {
    QString name;
    QString text;
    QList<Element> children;

    const Element *child(QStringView childName) const
    {
        for (const Element &c : children) {
            if (c.name == childName)
                return &c;
        }
        return nullptr;
    }
    QString childText(QStringView childName) const
    {
        const Element *c = child(childName);
        return c ? c->text : QString();
    }
};

// The document's root, or the parser's complaint.
struct Parsed {
    std::optional<Element> root;
    QString error;
};

Parsed parseXml(const QString &text)
{
    PartwiseXmlReader xml(text);
    QList<Element> open;
    std::optional<Element> root;
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement:
            open.append(Element{xml.reader().name().toString(), {}, {}});
            break;
        case QXmlStreamReader::Characters:
            if (!open.isEmpty())
                open.last().text += xml.reader().text();
            break;
        case QXmlStreamReader::EndElement: {
            Element done = open.takeLast();
            if (open.isEmpty())
                root = std::move(done);
            else
                open.last().children.append(std::move(done));
            break;
        }
        default:
            break;
        }
    }
    if (xml.reader().hasError())
        return {std::nullopt, xmlProblem(xml.reader())};
    return {std::move(root), {}};
}

// What each kind of passive reply must carry, as paths below <xml>. A path
// through a repeated element (Articles/item) must hold for every one of them.
struct ReplyShape {
    QString msgType;
    QStringList required;
};

const QList<ReplyShape> &replyShapes()
{
    static const QList<ReplyShape> shapes = {
        {QStringLiteral("text"), {QStringLiteral("Content")}},
        {QStringLiteral("image"), {QStringLiteral("Image/MediaId")}},
        {QStringLiteral("voice"), {QStringLiteral("Voice/MediaId")}},
        {QStringLiteral("video"), {QStringLiteral("Video/MediaId")}},
        {QStringLiteral("music"), {QStringLiteral("Music/ThumbMediaId")}},
        {QStringLiteral("news"),
         {QStringLiteral("ArticleCount"), QStringLiteral("Articles/item/Title"), QStringLiteral("Articles/item/Description"),
          QStringLiteral("Articles/item/PicUrl"), QStringLiteral("Articles/item/Url")}},
        {QStringLiteral("transfer_customer_service"), {}},
    };
    return shapes;
}

bool holds(const Element &element, QList<QStringView> path)
{
    if (path.isEmpty())
        return true;
    const QStringView first = path.takeFirst();
    bool found = false;
    for (const Element &c : element.children) {
        if (c.name != first)
            continue;
        found = true;
        if (!holds(c, path))
            return false;
    }
    return found;
}

VerdictLine pass(const QString &text) { return {VerdictLine::Pass, text}; }
VerdictLine warn(const QString &text) { return {VerdictLine::Warn, text}; }
VerdictLine fail(const QString &text) { return {VerdictLine::Fail, text}; }

VerdictLine judgeTime(const ExchangeRecord &record)
{
    if (record.elapsedMs < 0)
        return warn(QStringLiteral("没有测得答复用时"));
    const QString ms = QString::number(qRound64(record.elapsedMs));
    if (record.elapsedMs <= kPlatformWaitMs)
        return pass(QStringLiteral("在 5 秒内答复（%1 毫秒）").arg(ms));
    return fail(QStringLiteral("用时 %1 毫秒，超过 5 秒：平台会断开连接重试，共三次，用户看到"
                               "“该公众号暂时无法提供服务，请稍后再试”").arg(ms));
}

// A 3xx: the platform follows no redirect, so the push never reaches the
// code that would answer it.
VerdictLine judgeRedirect(const ExchangeRecord &record)
{
    const ExchangeHop *hop = record.finalHop();
    const std::optional<QByteArray> location = hop ? answerHeader(*hop, "Location") : std::nullopt;
    return fail(QStringLiteral("HTTP 状态 %1，是重定向（Location：%2）：平台不跟随重定向，推送到不了接收端的处理代码；"
                               "让这个地址直接答复 200，检查 URL 是否少了末尾的“/”、http 与 https 是否写对")
                    .arg(record.status())
                    .arg(location ? QStringLiteral("“%1”").arg(QString::fromUtf8(*location)) : QStringLiteral("没有给出")));
}

// An error status: what most likely caused it and what to check.
VerdictLine judgeErrorStatus(const ExchangeRecord &record, const AccessSettings &access)
{
    const long status = record.status();
    // Its start is enough to quote and to recognise an SDK's words.
    const QString answer = record.answerText.left(4096).simplified();
    QString cause;
    if (refusesTheSignature(answer))
        cause = QStringLiteral("接收端说签名不对，多半是 Token 与接收端配置的不一致：检查接入设置的 Token");
    else if (status == 401 || status == 403)
        cause = QStringLiteral("接收端拒绝了这个推送，多半是签名没有通过校验：检查 Token 与接收端配置的一致，再看接收端自己的日志");
    else if (status == 404 || status == 405)
        cause = QStringLiteral("接收端在这个地址上不接收推送：检查 URL 的路径与接收端配置的一致");
    else if (status >= 500 && access.encrypts())
        cause = QStringLiteral("接收端处理推送时出错，加密模式下多半是 EncodingAESKey 或 AppID 与接收端配置的不一致，"
                               "它解不开消息：检查这两项，再看接收端自己的日志");
    else if (status >= 500)
        cause = QStringLiteral("接收端处理推送时出错：看接收端自己的日志");
    else
        cause = QStringLiteral("平台不接受这个答复：检查 Token、EncodingAESKey、AppID，再看接收端自己的日志");
    constexpr qsizetype kQuoted = 80;
    const QString quoted = answer.isEmpty() ? QString()
        : QStringLiteral("，答复为“%1%2”").arg(answer.left(kQuoted), answer.size() > kQuoted ? QStringLiteral("…") : QString());
    return fail(QStringLiteral("HTTP 状态 %1，不是 200%2。%3").arg(status).arg(quoted, cause));
}

// The push as the endpoint read it: whose message it answers.
struct PushUsers {
    QString to;
    QString from;
};

std::optional<PushUsers> pushUsers(const QString &push, bool json)
{
    const QMap<QString, QString> fields = json ? jsonObjectFields(push) : rootChildFields(push);
    if (!fields.contains(QStringLiteral("ToUserName")) || !fields.contains(QStringLiteral("FromUserName")))
        return std::nullopt;
    return PushUsers{fields.value(QStringLiteral("ToUserName")).trimmed(),
                     fields.value(QStringLiteral("FromUserName")).trimmed()};
}

VerdictLine judgeUsers(const Element &reply, const QString &push, bool jsonPush = false)
{
    const std::optional<PushUsers> users = pushUsers(push, jsonPush);
    if (!users)
        return warn(QStringLiteral("推送不是含 ToUserName 和 FromUserName 的 XML，无法比较答复的收发双方"));
    // Whitespace around a CDATA section is layout, not part of the name.
    const QString to = reply.childText(u"ToUserName").trimmed();
    const QString from = reply.childText(u"FromUserName").trimmed();
    if (to == users->from && from == users->to)
        return pass(QStringLiteral("收发双方对调正确（ToUserName %1，FromUserName %2）").arg(to, from));
    return fail(QStringLiteral("收发双方不对：ToUserName 应为推送的 FromUserName “%1”，实为 “%2”；"
                               "FromUserName 应为推送的 ToUserName “%3”，实为 “%4”")
                    .arg(users->from, to, users->to, from));
}

VerdictLine judgeCreateTime(const Element &reply)
{
    const Element *createTime = reply.child(u"CreateTime");
    if (!createTime)
        return fail(QStringLiteral("缺少 CreateTime"));
    const QString value = createTime->text.trimmed();
    bool number = !value.isEmpty();
    for (QChar c : value)
        number = number && c >= u'0' && c <= u'9';
    if (number)
        return pass(QStringLiteral("CreateTime 是数字（%1）").arg(value));
    return fail(QStringLiteral("CreateTime “%1” 不是数字").arg(createTime->text));
}

VerdictLine judgeMsgType(const Element &reply)
{
    const QString msgType = reply.childText(u"MsgType").trimmed();
    const ReplyShape *shape = nullptr;
    QStringList known;
    for (const ReplyShape &candidate : replyShapes()) {
        known.append(candidate.msgType);
        if (candidate.msgType == msgType)
            shape = &candidate;
    }
    if (!shape)
        return fail(QStringLiteral("MsgType “%1” 不是被动回复的类型（%2）").arg(msgType, known.join(u", ")));

    QStringList missing;
    for (const QString &path : shape->required) {
        if (!holds(reply, QStringView(path).split(u'/')))
            missing.append(path);
    }
    if (!missing.isEmpty())
        return fail(QStringLiteral("%1 回复缺少必需的元素：%2").arg(msgType, missing.join(u", ")));

    if (msgType == u"news") {
        const Element *articles = reply.child(u"Articles");
        qsizetype items = 0;
        for (const Element &c : articles->children)
            items += c.name == u"item";
        bool ok = false;
        const int count = reply.childText(u"ArticleCount").trimmed().toInt(&ok);
        if (!ok || count != items)
            return fail(QStringLiteral("ArticleCount “%1” 与图文条数 %2 不符").arg(reply.childText(u"ArticleCount")).arg(items));
        if (items > kMaxArticles)
            return fail(QStringLiteral("图文 %1 条，超过 %2 条").arg(items).arg(kMaxArticles));
    }
    return pass(QStringLiteral("MsgType 为 %1，必需的元素齐全").arg(msgType));
}

// A passive reply: its shape, one line per point. Once it is not XML rooted
// at <xml>, the other points have nothing to look at.
QList<VerdictLine> judgeReply(const QString &body, const QString &push)
{
    const Parsed parsed = parseXml(body);
    if (!parsed.root)
        return {fail(QStringLiteral("答复既不是空白或 success，也不是格式正确的 XML（%1）：平台无法解析，"
                                    "用户看到“该公众号暂时无法提供服务，请稍后再试”").arg(parsed.error))};
    if (parsed.root->name != u"xml")
        return {fail(QStringLiteral("根元素是 <%1>，应为 <xml>").arg(parsed.root->name))};
    return {pass(QStringLiteral("被动回复：格式正确的 XML，根元素 xml")), judgeUsers(*parsed.root, push),
            judgeCreateTime(*parsed.root), judgeMsgType(*parsed.root)};
}

// A passive reply to a JSON push: JSON too, with the same members an XML
// reply has. A reply in the other format is one the endpoint's parser of
// the push's format did not write.
QList<VerdictLine> judgeJsonReply(const QString &body, const QString &push)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(body.toUtf8(), &error);
    if (!document.isObject()) {
        const QString why = error.error != QJsonParseError::NoError ? error.errorString() : QStringLiteral("不是对象");
        return {fail(QStringLiteral("推送是 JSON，答复既不是空白或 success，也不是 JSON 对象（%1）：被动回复应与推送同一格式")
                         .arg(why))};
    }
    // As an element tree, so the XML reply's rules judge it.
    Element reply{QStringLiteral("xml"), {}, {}};
    const QMap<QString, QString> fields = jsonObjectFields(body);
    for (auto field = fields.begin(); field != fields.end(); ++field)
        reply.children.append(Element{field.key(), field.value(), {}});
    QList<VerdictLine> lines{pass(QStringLiteral("被动回复：JSON 对象，与推送同一格式")), judgeUsers(reply, push, true),
                             judgeCreateTime(reply)};
    if (!reply.child(u"MsgType"))
        lines.append(fail(QStringLiteral("缺少 MsgType")));
    else
        lines.append(pass(QStringLiteral("MsgType 为 %1").arg(reply.childText(u"MsgType"))));
    return lines;
}

// The third-party platform takes nothing but "success" to its events.
VerdictLine judgeOpenPlatformAnswer(const QString &body)
{
    if (body == u"success")
        return pass(QStringLiteral("答复 success：第三方平台视为已收到"));
    constexpr qsizetype kQuoted = 40;
    const QString quoted = body.isEmpty() ? QStringLiteral("空白")
                                          : QStringLiteral("“%1%2”").arg(body.left(kQuoted),
                                                                        body.size() > kQuoted ? QStringLiteral("…") : QString());
    return fail(QStringLiteral("第三方平台的推送必须答复 success 这 7 个字节（收到%1），否则平台视为推送失败并重试").arg(quoted));
}

// Bytes of whitespace as the user can read them: "\r\n", "空格".
QString spelledOut(QStringView whitespace)
{
    QString text;
    for (QChar c : whitespace)
        text += c == u'\n' ? QStringLiteral("\\n") : c == u'\r' ? QStringLiteral("\\r") : c == u'\t' ? QStringLiteral("\\t")
                                                                                         : QStringLiteral("空格");
    return text;
}

// "success" with whitespace around it or in another case: the platform's
// documents say neither that it trims nor that it ignores the case.
std::optional<VerdictLine> judgeNearSuccess(const QString &body)
{
    constexpr qsizetype kLongest = 64; // "success" and some whitespace
    if (body.size() > kLongest)
        return std::nullopt;
    const QString trimmed = body.trimmed();
    if (trimmed.compare(u"success", Qt::CaseInsensitive) != 0)
        return std::nullopt;
    QStringList differences;
    if (const qsizetype at = body.indexOf(trimmed); at > 0)
        differences << QStringLiteral("开头多了“%1”").arg(spelledOut(QStringView(body).first(at)));
    if (const qsizetype end = body.indexOf(trimmed) + trimmed.size(); end < body.size())
        differences << QStringLiteral("末尾多了“%1”").arg(spelledOut(QStringView(body).sliced(end)));
    if (trimmed != u"success")
        differences << QStringLiteral("大小写不同（“%1”）").arg(trimmed);
    return warn(QStringLiteral("答复不是 success 这 7 个字节：%1。平台是否照样当作 success 没有文档说明，"
                               "可能当作无法解析的回复；只回小写的 success，前后不加换行或空格")
                    .arg(differences.join(QStringLiteral("，"))));
}

// "No reply" when the body is empty or exactly "success"; else a passive reply.
// An encrypted answer that could not be decrypted has no body to judge: its
// decryption line says why.
QList<VerdictLine> judgeBody(const ExchangeRecord &record, const QString &push, const AccessSettings &access)
{
    const bool encrypted = !record.answerChecks.isEmpty();
    QString body = record.answerText;
    if (encrypted && !body.isEmpty() && body != u"success") {
        if (!record.decryptedText)
            return {};
        body = *record.decryptedText;
    }
    if (access.platform == Platform::OpenPlatform)
        return {judgeOpenPlatformAnswer(body)};
    if (body == u"success")
        return {pass(QStringLiteral("答复 success：平台视为不回复，不再重试"))};
    if (std::optional<VerdictLine> near = judgeNearSuccess(body))
        return {*near};
    if (body.isEmpty())
        return {warn(QStringLiteral("空白答复：平台视为不回复；但有的 SDK 签名校验失败时也回 200 和空白，"
                                    "可能掩盖了拒绝"))};
    QList<VerdictLine> lines = isJsonMessage(access, push) ? judgeJsonReply(body, push) : judgeReply(body, push);
    // In safe mode the platform takes only encrypted replies; compatible mode
    // takes both; WeCom takes only encrypted ones.
    if (!encrypted && repliesMustBeEncrypted(access))
        lines.prepend(fail(access.platform == Platform::WeCom ? QStringLiteral("企业微信的被动回复必须加密，这个答复是明文")
                                                              : QStringLiteral("安全模式下被动回复必须加密，这个答复是明文")));
    return lines;
}

// The phone shows the bytes as UTF-8, whatever the Content-Type says. A BOM
// counts against it: the platform reads bytes, so a BOM before "success" or
// "<xml>" makes an answer it cannot take.
VerdictLine judgeUtf8(const ExchangeRecord &record)
{
    const ExchangeHop *hop = record.finalHop();
    if (!hop)
        return warn(QStringLiteral("没有记录答复的字节，无法检查编码"));
    const QByteArray &bytes = hop->answerBody;
    const QString label = record.contentType ? QString::fromLatin1(*record.contentType) : QStringLiteral("无");
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return fail(QStringLiteral("答复以 BOM（EF BB BF）开头：平台按字节读取，BOM 之后的 success 或 <xml> "
                                   "不会被认出（Content-Type：%1）").arg(label));
    if (!QByteArrayView(bytes).isValidUtf8())
        return fail(QStringLiteral("答复不是 UTF-8（Content-Type：%1）：用户手机上会显示乱码").arg(label));
    return pass(QStringLiteral("答复是 UTF-8"));
}

} // namespace

bool refusesTheSignature(const QString &answer)
{
    return answer.contains(u"signature", Qt::CaseInsensitive) || answer.contains(u"非法请求") || answer.contains(u"签名");
}

QList<VerdictLine> judgeExchange(const ExchangeRecord &record, const QString &push, const AccessSettings &access)
{
    if (record.cancelled || (record.failure && record.failure->number == PostFailure::Cancelled))
        return {fail(QStringLiteral("已取消：没有答复可评判"))};
    if (record.failure)
        return {fail(QStringLiteral("交互失败（错误 %1）：%2").arg(record.failure->number).arg(record.failure->description))};

    QList<VerdictLine> lines{judgeTime(record)};
    // After an error status or a redirect the answer is no reply to the
    // push: its shape and mode only follow from the error.
    if (const long status = record.status(); status >= 300 && status < 400) {
        lines.append(judgeRedirect(record));
        return lines;
    } else if (status != 200) {
        lines.append(judgeErrorStatus(record, access));
        return lines;
    }
    lines.append(pass(QStringLiteral("HTTP 状态 200")));
    lines += judgeBody(record, push, access);
    lines.append(judgeUtf8(record));
    for (const AnswerCheck &check : record.answerChecks)
        lines.append({check.passed ? VerdictLine::Pass : VerdictLine::Fail,
                      QStringLiteral("%1：%2").arg(check.what, check.detail)});
    return lines;
}

bool verdictPassed(const QList<VerdictLine> &lines)
{
    for (const VerdictLine &line : lines) {
        if (line.outcome == VerdictLine::Fail)
            return false;
    }
    return true;
}
