#include "replay_options.h"

using namespace Qt::Literals::StringLiterals;

bool readReplayOption(PostOptions &options, const QString &name, const QString &value)
{
    if (name == u"--replay")
        options.replayFile = value;
    else if (name == u"--entry")
        options.replayEntry = value.toInt(); // 0 for anything but a number: refused below
    else if (name == u"--resign")
        options.resign = true;
    else
        return false;
    return true;
}

std::optional<UsageError> replayMisfit(const PostOptions &options, const QSet<QString> &given)
{
    if (!options.replayFile) {
        for (const char *replayOnly : {"--entry", "--resign"}) {
            if (given.contains(QLatin1StringView(replayOnly)))
                return UsageError{u"%1 需要同时给出 --replay"_s.arg(QLatin1StringView(replayOnly))};
        }
        return std::nullopt;
    }
    if (options.replayFile->isEmpty())
        return UsageError{u"--replay 的文件名为空"_s};
    if (options.replayEntry && *options.replayEntry < 1)
        return UsageError{u"--entry 须是从 1 起的 POST 请求编号（不给 --entry 时列出编号）"_s};
    // The HAR entry is the body; one post, as the window's 重发 sends it.
    for (const char *other : {"--sample", "--body", "--repeat", "--concurrency", "--every", "--check-url", "--deliver",
                              "--conformance", "--rate", "--junit", "--set"}) {
        if (given.contains(QLatin1StringView(other)))
            return UsageError{u"--replay 不能与 %1 同用：重发的是 HAR 文件里记录的请求"_s.arg(QLatin1StringView(other))};
    }
    if (options.resign && !options.access.signs())
        return UsageError{u"--resign 需要 --token（或环境变量 VELTRANE_TOKEN、--saved-settings）：重新签名要用 Token"_s};
    return std::nullopt;
}
