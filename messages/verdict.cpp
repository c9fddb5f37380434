#include "verdict.h"

#include "partwise_xml_reader.h"
#include "post_failure.h"
#include "xml_fields.h"

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
    const QXmlStreamReader &reader = xml.reader();
    if (reader.hasError())
        return {std::nullopt, QStringLiteral("第 %1 行第 %2 列:%3")
                                  .arg(reader.lineNumber()).arg(reader.columnNumber()).arg(reader.errorString())};
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
        return pass(QStringLiteral("在 5 秒内答复(%1 毫秒)").arg(ms));
    return fail(QStringLiteral("用时 %1 毫秒,超过 5 秒:平台会断开连接重试,共三次,用户看到"
                               "“该公众号暂时无法提供服务，请稍后再试”").arg(ms));
}

VerdictLine judgeStatus(const ExchangeRecord &record)
{
    if (record.status() == 200)
        return pass(QStringLiteral("HTTP 状态 200"));
    return fail(QStringLiteral("HTTP 状态 %1,不是 200:平台不接受这个答复").arg(record.status()));
}

// The push as the endpoint read it: whose message it answers.
struct PushUsers {
    QString to;
    QString from;
};

std::optional<PushUsers> pushUsers(const QString &push)
{
    const QMap<QString, QString> fields = rootChildFields(push);
    if (!fields.contains(QStringLiteral("ToUserName")) || !fields.contains(QStringLiteral("FromUserName")))
        return std::nullopt;
    return PushUsers{fields.value(QStringLiteral("ToUserName")).trimmed(),
                     fields.value(QStringLiteral("FromUserName")).trimmed()};
}

VerdictLine judgeUsers(const Element &reply, const QString &push)
{
    const std::optional<PushUsers> users = pushUsers(push);
    if (!users)
        return warn(QStringLiteral("推送不是含 ToUserName 和 FromUserName 的 XML,无法比较答复的收发双方"));
    // Whitespace around a CDATA section is layout, not part of the name.
    const QString to = reply.childText(u"ToUserName").trimmed();
    const QString from = reply.childText(u"FromUserName").trimmed();
    if (to == users->from && from == users->to)
        return pass(QStringLiteral("收发双方对调正确(ToUserName %1,FromUserName %2)").arg(to, from));
    return fail(QStringLiteral("收发双方不对:ToUserName 应为推送的 FromUserName “%1”,实为 “%2”;"
                               "FromUserName 应为推送的 ToUserName “%3”,实为 “%4”")
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
        return pass(QStringLiteral("CreateTime 是数字(%1)").arg(value));
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
        return fail(QStringLiteral("MsgType “%1” 不是被动回复的类型(%2)").arg(msgType, known.join(u", ")));

    QStringList missing;
    for (const QString &path : shape->required) {
        if (!holds(reply, QStringView(path).split(u'/')))
            missing.append(path);
    }
    if (!missing.isEmpty())
        return fail(QStringLiteral("%1 回复缺少必需的元素:%2").arg(msgType, missing.join(u", ")));

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
            return fail(QStringLiteral("图文 %1 条,超过 %2 条").arg(items).arg(kMaxArticles));
    }
    return pass(QStringLiteral("MsgType 为 %1,必需的元素齐全").arg(msgType));
}

// A passive reply: its shape, one line per point. Once it is not XML rooted
// at <xml>, the other points have nothing to look at.
QList<VerdictLine> judgeReply(const QString &body, const QString &push)
{
    const Parsed parsed = parseXml(body);
    if (!parsed.root)
        return {fail(QStringLiteral("答复既不是空白或 success,也不是格式正确的 XML(%1):平台无法解析,"
                                    "用户看到“该公众号暂时无法提供服务，请稍后再试”").arg(parsed.error))};
    if (parsed.root->name != u"xml")
        return {fail(QStringLiteral("根元素是 <%1>,应为 <xml>").arg(parsed.root->name))};
    return {pass(QStringLiteral("被动回复:格式正确的 XML,根元素 xml")), judgeUsers(*parsed.root, push),
            judgeCreateTime(*parsed.root), judgeMsgType(*parsed.root)};
}

// "No reply" when the body is empty or exactly "success"; else a passive reply.
QList<VerdictLine> judgeBody(const ExchangeRecord &record, const QString &push, const AccessSettings &access)
{
    const bool encrypted = !record.answerChecks.isEmpty();
    QString body = record.answerText;
    if (encrypted && !body.isEmpty() && body != u"success") {
        if (!record.decryptedText)
            return {fail(QStringLiteral("加密的答复没有解开,无法检查回复的内容"))};
        body = *record.decryptedText;
    }
    if (body == u"success")
        return {pass(QStringLiteral("答复 success:平台视为不回复,不再重试"))};
    if (body.isEmpty()) {
        if (record.status() == 200)
            return {warn(QStringLiteral("空白答复:平台视为不回复;但有的 SDK 签名校验失败时也回 200 和空白,"
                                        "可能掩盖了拒绝"))};
        return {pass(QStringLiteral("空白答复:平台视为不回复"))};
    }
    QList<VerdictLine> lines = judgeReply(body, push);
    // In safe mode the platform takes only encrypted replies; compatible mode takes both.
    if (!encrypted && access.encrypts() && access.mode == MessageMode::Safe)
        lines.prepend(fail(QStringLiteral("安全模式下被动回复必须加密,这个答复是明文")));
    return lines;
}

// The phone shows the bytes as UTF-8, whatever the Content-Type says. A BOM
// counts against it: the platform reads bytes, so a BOM before "success" or
// "<xml>" makes an answer it cannot take.
VerdictLine judgeUtf8(const ExchangeRecord &record)
{
    const ExchangeHop *hop = record.finalHop();
    if (!hop)
        return warn(QStringLiteral("没有记录答复的字节,无法检查编码"));
    const QByteArray &bytes = hop->answerBody;
    const QString label = record.contentType ? QString::fromLatin1(*record.contentType) : QStringLiteral("无");
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return fail(QStringLiteral("答复以 BOM(EF BB BF)开头:平台按字节读取,BOM 之后的 success 或 <xml> "
                                   "不会被认出(Content-Type:%1)").arg(label));
    if (!QByteArrayView(bytes).isValidUtf8())
        return fail(QStringLiteral("答复不是 UTF-8(Content-Type:%1):用户手机上会显示乱码").arg(label));
    return pass(QStringLiteral("答复是 UTF-8"));
}

} // namespace

QList<VerdictLine> judgeExchange(const ExchangeRecord &record, const QString &push, const AccessSettings &access)
{
    if (record.cancelled || (record.failure && record.failure->number == PostFailure::Cancelled))
        return {fail(QStringLiteral("已取消:没有答复可评判"))};
    if (record.failure)
        return {fail(QStringLiteral("交互失败(错误 %1):%2").arg(record.failure->number).arg(record.failure->description))};

    QList<VerdictLine> lines{judgeTime(record), judgeStatus(record)};
    lines += judgeBody(record, push, access);
    lines.append(judgeUtf8(record));
    for (const AnswerCheck &check : record.answerChecks)
        lines.append({check.passed ? VerdictLine::Pass : VerdictLine::Fail,
                      QStringLiteral("%1:%2").arg(check.what, check.detail)});
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
