#include "report.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace {

const double kPostRatioTarget = 3, kLinesTarget = 500, kLineTarget = 3000, kStartTarget = 150, kRssTarget = 80;

struct Row {
    std::string what;
    std::string figures;
    std::string target;
};

std::string fixed(double value, int decimals = 2)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

struct Report {
    std::vector<Row> table;
    std::vector<std::pair<std::string, std::string>> keys;

    void row(std::string what, std::string figures, std::string target = {})
    {
        table.push_back({std::move(what), std::move(figures), std::move(target)});
    }
    void key(const std::string &name, double value, int decimals = 2) { keys.emplace_back(name, fixed(value, decimals)); }
};

std::string describe(const Stats &s)
{
    return "median " + fixed(s.median) + " ms, p95 " + fixed(s.p95) + ", min " + fixed(s.min) + ", max "
        + fixed(s.max) + " (n=" + std::to_string(s.n) + ")";
}

std::string verdict(bool met)
{
    return met ? "met" : "MISSED";
}

void reportPosts(Report &report, const PostFigures &post)
{
    const double ratio = post.xmlPost.median / post.curl.median;
    const double ratioPaused = post.xmlPostPaused.median / post.curlPaused.median;
    const double cpuRatio = post.xmlPostCpuMs / post.curlCpuMs;
    report.row("post: XmlPost (new connection each), A B A B", describe(post.xmlPost));
    report.row("post: libcurl (new handle each), A B A B", describe(post.curl));
    report.row("post: ratio of medians XmlPost/libcurl, A B A B", fixed(ratio), "<= 3: " + verdict(ratio <= kPostRatioTarget));
    report.row("post: XmlPost, each call after a 2 ms pause", describe(post.xmlPostPaused));
    report.row("post: libcurl, each call after a 2 ms pause", describe(post.curlPaused));
    report.row("post: ratio of medians, each after a pause", fixed(ratioPaused), "<= 3: " + verdict(ratioPaused <= kPostRatioTarget));
    report.key("post_xmlpost_median_ms", post.xmlPost.median, 3);
    report.key("post_xmlpost_p95_ms", post.xmlPost.p95, 3);
    report.key("post_curl_median_ms", post.curl.median, 3);
    report.key("post_curl_p95_ms", post.curl.p95, 3);
    report.key("post_ratio", ratio);
    report.key("post_paused_xmlpost_median_ms", post.xmlPostPaused.median, 3);
    report.key("post_paused_xmlpost_p95_ms", post.xmlPostPaused.p95, 3);
    report.key("post_paused_curl_median_ms", post.curlPaused.median, 3);
    report.key("post_paused_curl_p95_ms", post.curlPaused.p95, 3);
    report.key("post_paused_ratio", ratioPaused);
    report.row("post: process CPU a call, XmlPost / libcurl", fixed(post.xmlPostCpuMs, 3) + " / " + fixed(post.curlCpuMs, 3) + " ms, ratio " + fixed(cpuRatio));
    report.key("post_cpu_xmlpost_ms", post.xmlPostCpuMs, 3);
    report.key("post_cpu_curl_ms", post.curlCpuMs, 3);
    report.key("post_cpu_ratio", cpuRatio);
    report.key("post_rounds", post.rounds, 0);
}

void reportAnswers(Report &report, const std::vector<AnswerFigures> &answers)
{
    for (const AnswerFigures &answer : answers) {
        for (const char *how : {"new", "open"}) {
            const ClickFigures &f = answer.clicks.at(how);
            std::string target;
            if (answer.name == "10m_lines")
                target = "< 500 ms: " + verdict(f.total.median < kLinesTarget);
            else if (answer.name == "10m_line")
                target = "< 3000 ms: " + verdict(f.total.median < kLineTarget);
            report.row("click to answer " + answer.name + ", window " + how, describe(f.total), target);
            report.row("  of which click to textChanged / textChanged to painted",
                       fixed(f.toText.median) + " / " + fixed(f.textToPaint.median) + " ms (medians)");
            const std::string prefix = "click_" + answer.name + "_" + how;
            report.key(prefix + "_median_ms", f.total.median);
            report.key(prefix + "_p95_ms", f.total.p95);
            report.key(prefix + "_to_text_ms", f.toText.median);
            report.key(prefix + "_text_to_paint_ms", f.textToPaint.median);
        }
        report.row("  XmlPost alone, answer " + answer.name, describe(answer.postAlone));
        report.row("  GUI thread CPU while idle, answer " + answer.name + " shown", fixed(answer.idleCpuPct, 1) + " % of a core");
        report.key("idle_cpu_" + answer.name + "_pct", answer.idleCpuPct, 1);
        report.key("xmlpost_" + answer.name + "_median_ms", answer.postAlone.median);
    }
}

void reportParts(Report &report, const std::map<std::string, PartFigures> &parts)
{
    for (const auto &[name, p] : parts) {
        report.row("  " + name + ": decodeResponseText / setText / grab (alone)",
                   fixed(p.decode.median) + " / " + fixed(p.setText.median) + " / " + fixed(p.grab.median) + " ms (medians)");
        report.key("decode_" + name + "_ms", p.decode.median);
        report.key("settext_" + name + "_ms", p.setText.median);
        report.key("grab_" + name + "_ms", p.grab.median);
    }
}

void reportStart(Report &report, const StartFigures &start)
{
    report.row("start: first Form1 shown and painted", fixed(start.firstMs) + " ms");
    report.row("start: Form1 shown and painted, later ones", describe(start.later), "< 150 ms: " + verdict(start.later.median < kStartTarget));
    report.key("start_first_ms", start.firstMs);
    report.key("start_median_ms", start.later.median);
    report.key("start_p95_ms", start.later.p95);
}

void reportLoads(Report &report, const std::vector<LoadFigures> &loads)
{
    for (const LoadFigures &load : loads) {
        report.row(std::string("load: ") + load.button + " click to sample in Text2 / painted",
                   fixed(load.held.median, 3) + " / " + fixed(load.painted.median, 3) + " ms (medians, n=" + std::to_string(load.held.n) + ")");
        report.key(std::string("load_") + load.button + "_ms", load.held.median, 3);
        report.key(std::string("load_") + load.button + "_painted_ms", load.painted.median, 3);
    }
}

double rssAfter(const std::vector<AnswerFigures> &answers, const std::string &name)
{
    for (const AnswerFigures &answer : answers) {
        if (answer.name == name)
            return answer.rssAfterMb;
    }
    return 0;
}

void reportMemory(Report &report, const Figures &figures)
{
    const double rssStart = figures.start.rssMb, programRss = figures.start.programRssMb;
    const double afterLines = rssAfter(figures.answers, "10m_lines"), afterLine = rssAfter(figures.answers, "10m_line");
    report.row("memory: VmRSS after start (this process)", fixed(rssStart, 1) + " MB", "< 80 MB: " + verdict(rssStart < kRssTarget));
    report.row("memory: VmRSS of veltrane itself after start", programRss < 0 ? "not measured" : fixed(programRss, 1) + " MB",
               programRss < 0 ? "" : "< 80 MB: " + verdict(programRss < kRssTarget));
    report.row("memory: VmRSS after 10 MB in lines shown", fixed(afterLines, 1) + " MB");
    report.row("memory: VmRSS after 10 MB in one line shown", fixed(afterLine, 1) + " MB");
    report.row("memory: VmHWM (peak) after all the clicks", fixed(figures.hwmMb, 1) + " MB");
    report.key("rss_start_mb", rssStart, 1);
    report.key("rss_program_start_mb", programRss, 1);
    report.key("rss_after_10m_lines_mb", afterLines, 1);
    report.key("rss_after_10m_line_mb", afterLine, 1);
    report.key("hwm_mb", figures.hwmMb, 1);
}

} // namespace

void printReport(const Figures &figures)
{
    Report report;
    reportPosts(report, figures.post);
    reportAnswers(report, figures.answers);
    reportParts(report, figures.parts);
    reportStart(report, figures.start);
    reportLoads(report, figures.loads);
    reportMemory(report, figures);

    std::size_t width = 0;
    for (const Row &row : report.table)
        width = std::max(width, row.what.size());
    std::printf("\n%-*s  %s\n", static_cast<int>(width), "measure", "figures  [target]");
    for (const Row &row : report.table)
        std::printf("%-*s  %s%s\n", static_cast<int>(width), row.what.c_str(), row.figures.c_str(),
                    row.target.empty() ? "" : ("  [" + row.target + "]").c_str());
    std::string line = "bench:";
    for (const auto &[name, value] : report.keys)
        line += " " + name + "=" + value;
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}
