#include "pay/pay_verdict.h"

#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::Literals::StringLiterals;

namespace {

VerdictLine line(VerdictLine::Outcome outcome, const QString &text)
{
    return {outcome, text};
}

// A refusal's body as the platform's own rules ask for it.
VerdictLine failureBodyLine(const ExchangeRecord &record)
{
    const ExchangeHop *hop = record.finalHop();
    const QJsonObject body = QJsonDocument::fromJson(hop ? hop->answerBody : QByteArray()).object();
    if (body.value(u"code"_s).toString() == u"FAIL" && body.value(u"message"_s).isString())
        return line(VerdictLine::Pass, u"失败答复的正文是 {\"code\": \"FAIL\", \"message\": …}"_s);
    return line(VerdictLine::Warn, u"失败答复的正文应为 JSON {\"code\": \"FAIL\", \"message\": \"原因\"}，收到的不是"_s);
}

} // namespace

QList<VerdictLine> judgePayAnswer(const ExchangeRecord &record, PayNotificationKind kind)
{
    if (record.failure)
        return {line(VerdictLine::Fail, u"没有收到答复：%1"_s.arg(record.failure->description))};
    QList<VerdictLine> lines;
    if (record.elapsedMs > kPayAnswerLimitMs)
        lines.append(line(VerdictLine::Fail, u"用时 %1 秒，超过 5 秒：平台视为超时，会重发这条通知"_s
                                                 .arg(record.elapsedMs / 1000, 0, 'f', 1)));
    const long status = record.status();
    const bool refused = status >= 400 && status <= 599;
    const bool success = status == 200 || status == 204;
    if (kind == PayNotificationKind::Normal) {
        if (success)
            lines.append(line(VerdictLine::Pass, u"状态码 %1：平台视为接收成功"_s.arg(status)));
        else if (refused)
            lines.append(line(VerdictLine::Fail, u"状态码 %1：接收端拒绝了通知，平台会按重试间隔重发"_s.arg(status)));
        else
            lines.append(line(VerdictLine::Fail, u"状态码 %1：平台只把 200 或 204 当作接收成功"_s.arg(status)));
    } else {
        const QString probe = kind == PayNotificationKind::SignatureProbe ? u"验签探测"_s : u"错误密钥探测"_s;
        if (status >= 200 && status <= 299)
            lines.append(line(VerdictLine::Fail,
                              kind == PayNotificationKind::SignatureProbe
                                  ? u"接收端没有验证签名：%1的签名是错的，却答复了 %2"_s.arg(probe).arg(status)
                                  : u"接收端没有校验解密结果：%1的 resource 用别的 APIv3 密钥加密，却答复了 %2"_s.arg(probe).arg(status)));
        else if (refused)
            lines.append(line(VerdictLine::Pass, u"状态码 %1：接收端拒绝了%2"_s.arg(status).arg(probe)));
        else
            lines.append(line(VerdictLine::Fail, u"状态码 %1：%2应得到 4xx 或 5xx 的失败答复"_s.arg(status).arg(probe)));
    }
    if (refused)
        lines.append(failureBodyLine(record));
    return lines;
}
