#include "conformance_run.h"

using namespace Qt::Literals::StringLiterals;

namespace {

QString mark(const ConformanceCheck &check)
{
    switch (check.outcome) {
    case VerdictLine::Pass:
        return u"✔"_s;
    case VerdictLine::Warn:
        return u"⚠"_s;
    case VerdictLine::Fail:
        break;
    }
    return u"✘"_s;
}

int count(const ConformanceRun &run, VerdictLine::Outcome outcome)
{
    int n = 0;
    for (const ConformanceCheck &check : run.checks)
        n += check.outcome == outcome;
    return n;
}

} // namespace

QString scorecard(const ConformanceRun &run)
{
    QString text;
    for (const ConformanceCheck &check : run.checks) {
        text += u"%1 %2 · %3：发送 %4；收到 %5"_s.arg(mark(check), check.group, check.name, check.sent, check.got);
        if (!check.fix.isEmpty())
            text += u"；%1%2"_s.arg(check.outcome == VerdictLine::Pass || check.skipped ? u"说明："_s : u"修正："_s, check.fix);
        text += u'\n';
    }
    text += u"共 %1 项：✔ %2，⚠ %3，✘ %4\n"_s.arg(run.checks.size())
                .arg(count(run, VerdictLine::Pass))
                .arg(count(run, VerdictLine::Warn))
                .arg(count(run, VerdictLine::Fail));
    return text;
}

RunEnd conformanceEndOf(const ConformanceRun &run)
{
    if (run.unreachable)
        return {ExitStatus::ExchangeFailed, u"接收端连不上，没有做其余的检查：%1"_s.arg(
                                                run.checks.isEmpty() ? QString() : run.checks.constFirst().got)};
    if (const int failed = count(run, VerdictLine::Fail))
        return {ExitStatus::VerdictFailed, u"一致性检查有 %1 项未通过（✘）"_s.arg(failed)};
    return {};
}
