#include "exit_status.h"

#include "http/post_failure.h"

using namespace Qt::Literals::StringLiterals;

QString oneLine(QString text)
{
    text.replace(u"\r\n"_s, u" "_s);
    text.replace(u'\n', u' ');
    text.replace(u'\r', u' ');
    return text;
}

QString failureLine(int number, const QString &description)
{
    return u"发送失败(错误 %1):%2"_s.arg(number).arg(oneLine(description));
}

RunEnd runEndOf(const RepeatSummary &summary, int requested)
{
    const bool many = requested > 1;
    if (summary.count() < requested || summary.cancelled() > 0) {
        return {ExitStatus::ExchangeFailed,
                failureLine(PostFailure::Cancelled, u"已中断：%1 次中完成 %2 次"_s.arg(requested).arg(summary.completed()))};
    }
    if (summary.failed() > 0) {
        const auto first = summary.failuresByNumber().cbegin();
        QString reason = failureLine(first.key(), first->second);
        if (many)
            reason += u"（%1 次中有 %2 次发送失败）"_s.arg(summary.count()).arg(summary.failed());
        return {ExitStatus::ExchangeFailed, reason};
    }
    if (summary.verdictsFailed() > 0) {
        QStringList failed;
        for (const VerdictLine &line : summary.firstFailedLines())
            failed << oneLine(line.text);
        QString reason = u"判定未通过："_s + failed.join(u"；"_s);
        if (many)
            reason += u"（%1 次中有 %2 次未通过）"_s.arg(summary.count()).arg(summary.verdictsFailed());
        return {ExitStatus::VerdictFailed, reason};
    }
    return {};
}

RunEnd urlCheckEndOf(const UrlCheckResult &check)
{
    if (check.record.failure)
        return {ExitStatus::ExchangeFailed, failureLine(check.record.failure->number, check.record.failure->description)};
    if (!check.passed)
        return {ExitStatus::VerdictFailed, oneLine(check.explanation)};
    return {};
}
