#include "post_options.h"

#include "crypto/message_crypto.h"
#include "platform/url_check.h"
#include "platform/user_samples.h"
#include "platform/named_samples.h"
#include "replay_options.h"

#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace {

UsageError usage(const QString &reason)
{
    return UsageError{reason};
}

bool alwaysEncryptedFamily(Platform platform)
{
    return platform == Platform::WeCom || platform == Platform::OpenPlatform;
}

std::optional<int> boundedCount(const QString &text, int low, int high)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < low || value > high)
        return std::nullopt;
    return value;
}

std::optional<MessageMode> modeNamed(const QString &name)
{
    if (name == u"plain")
        return MessageMode::Plain;
    if (name == u"compat")
        return MessageMode::Compatible;
    if (name == u"safe")
        return MessageMode::Safe;
    return std::nullopt;
}

// The options that take a value; every other option is a switch.
const QStringList &valuedOptions()
{
    static const QStringList names{u"--sample"_s, u"--body"_s, u"--token"_s, u"--aes-key"_s, u"--appid"_s,
                                   u"--openid"_s, u"--mode"_s, u"--repeat"_s, u"--concurrency"_s, u"--timeout"_s,
                                   u"--max-time"_s, u"--cacert"_s, u"--platform"_s, u"--format"_s, u"--corpid"_s,
                                   u"--agentid"_s, u"--every"_s, u"--junit"_s, u"--rate"_s, u"--har"_s,
                                   u"--samples-dir"_s, u"--replay"_s, u"--entry"_s, u"--set"_s};
    return names;
}

const QStringList &switches()
{
    static const QStringList names{u"--check-url"_s, u"--json"_s, u"-v"_s, u"--help"_s, u"-h"_s, u"--version"_s,
                                   u"--saved-settings"_s, u"--deliver"_s, u"--conformance"_s,
                                   u"--resign"_s};
    return names;
}

// The options that belong to some families only, checked against the one chosen.
std::optional<UsageError> familyMisfit(const PostOptions &options, const QSet<QString> &given)
{
    const Platform platform = options.access.platform;
    const QString family = platformName(platform);
    if (given.contains(u"--format"_s) && platform != Platform::MiniProgram)
        return usage(u"--format 只用于 --platform miniprogram，不用于 %1"_s.arg(family));
    for (const QString &weComOnly : {u"--corpid"_s, u"--agentid"_s}) {
        if (given.contains(weComOnly) && platform != Platform::WeCom)
            return usage(u"%1 只用于 --platform wecom，不用于 %2"_s.arg(weComOnly, family));
    }
    if (platform == Platform::WeCom && given.contains(u"--appid"_s))
        return usage(u"企业微信的接收 id 是 CorpID：用 --corpid，不用 --appid"_s);
    if (!alwaysEncryptedFamily(platform))
        return std::nullopt;
    const QString caption = platformCaption(platform);
    // --mode safe says what these families always do; any other mode cannot be had.
    if (given.contains(u"--mode"_s) && options.access.mode != MessageMode::Safe)
        return usage(u"%1的推送总是加密的（安全模式）：--mode 只能是 safe 或不给"_s.arg(caption));
    if (given.contains(u"--openid"_s))
        return usage(u"--openid 只用于公众号和小程序，%1的推送没有 openid"_s.arg(caption));
    const QString idOption = platform == Platform::WeCom ? u"--corpid"_s : u"--appid"_s;
    if (!options.access.signs() || options.access.aesKey.isEmpty() || options.access.appId.isEmpty())
        return usage(u"%1的推送总是加密的，需要 --token、--aes-key 和 %2"_s.arg(caption, idOption));
    return std::nullopt;
}

// --deliver, --conformance and --junit: what they cannot go with.
std::optional<UsageError> platformRunInconsistency(const PostOptions &options, const QSet<QString> &given)
{
    if (options.junitFile && !options.conformance)
        return usage(u"--junit 需要同时给出 --conformance"_s);
    if (options.rate) {
        if (!options.repeat)
            return usage(u"--rate 需要同时给出 --repeat"_s);
        for (const char *other : {"--concurrency", "--json"}) {
            if (given.contains(QLatin1StringView(other)))
                return usage(u"--rate 不能与 %1 同用：按速率发送时同时进行的次数由速率决定"_s.arg(QLatin1StringView(other)));
        }
    }
    if (options.deliver) {
        for (const char *other : {"--repeat", "--check-url", "--conformance", "--json"}) {
            if (given.contains(QLatin1StringView(other)))
                return usage(u"--deliver 不能与 %1 同用"_s.arg(QLatin1StringView(other)));
        }
    }
    if (options.conformance) {
        if (!options.access.signs())
            return usage(u"--conformance 需要 --token：伪造请求的探测要有签名可改"_s);
        for (const char *other : {"--sample", "--body", "--repeat", "--check-url", "--json", "--set"}) {
            if (given.contains(QLatin1StringView(other)))
                return usage(u"--conformance 不能与 %1 同用：它自己发送每个样例"_s.arg(QLatin1StringView(other)));
        }
    }
    return std::nullopt;
}

// Checks what only makes sense together, once every option is read.
std::optional<UsageError> inconsistency(const PostOptions &options, const QSet<QString> &given)
{
    if (const std::optional<UsageError> misfit = replayMisfit(options, given))
        return misfit;
    if (options.url.isEmpty() && !options.replayFile)
        return usage(u"没有给出接收端地址 （URL）"_s);
    if (options.sample && options.bodyFile)
        return usage(u"--sample 与 --body 只能选一个"_s);
    if (const std::optional<UsageError> misfit = familyMisfit(options, given))
        return misfit;
    // Built-in samples win over the user's of the same name.
    if (const QStringList names = sampleNames(options.access.platform);
        options.sample && !names.contains(*options.sample) && !findUserSample(options.samplesDir, *options.sample))
        return usage(u"%1没有名为 \"%2\" 的样例；可选：%3，或 %4 中的样例"_s.arg(platformCaption(options.access.platform),
                                                                          *options.sample, names.join(u", "),
                                                                          options.samplesDir));
    if (options.every) {
        for (const char *oneRun : {"--repeat", "--check-url"}) {
            if (given.contains(QLatin1StringView(oneRun)))
                return usage(u"--every 不能与 %1 同用"_s.arg(QLatin1StringView(oneRun)));
        }
    }
    if (!options.access.signs()) {
        for (const char *needsToken : {"--aes-key", "--appid", "--openid"}) {
            if (given.contains(QLatin1StringView(needsToken)))
                return usage(u"%1 需要同时给出 --token"_s.arg(QLatin1StringView(needsToken)));
        }
        if (options.access.mode != MessageMode::Plain)
            return usage(u"兼容模式和安全模式需要同时给出 --token"_s);
    }
    if (options.access.mode != MessageMode::Plain && options.access.aesKey.isEmpty())
        return usage(u"兼容模式和安全模式需要 --aes-key"_s);
    if (given.contains(u"--concurrency"_s) && !options.repeat)
        return usage(u"--concurrency 需要同时给出 --repeat"_s);
    if (options.checkUrl) {
        if (const std::optional<QString> absence = urlCheckAbsence(options.access.platform))
            return usage(*absence);
        if (!options.access.signs())
            return usage(u"--check-url 需要 --token"_s);
        for (const char *postOnly : {"--sample", "--body", "--repeat", "--set"}) {
            if (given.contains(QLatin1StringView(postOnly)))
                return usage(u"--check-url 不能与 %1 同用"_s.arg(QLatin1StringView(postOnly)));
        }
    }
    if (const std::optional<UsageError> error = platformRunInconsistency(options, given))
        return error;
    return std::nullopt;
}

// Whole milliseconds; a day at most, so the count cannot overflow.
// Fills in what the options left out: from the environment, then from what
// the window saved. A key that does not decode is named with where it came from.
std::optional<UsageError> fillInAccess(PostOptions &options, const QSet<QString> &given, const SettingSources &sources)
{
    AccessSettings &access = options.access;
    AccessSettings saved;
    if (options.savedSettings) {
        const std::optional<AccessSettings> found = sources.saved ? sources.saved() : std::nullopt;
        if (!found)
            return usage(u"--saved-settings：没有保存的接入设置（%1 不存在），先在窗口的“接入设置”里保存"_s.arg(sources.savedFile));
        saved = *found;
    }
    const auto fill = [&](QString &field, const char *option, const char *variable, const QString &savedValue) {
        if (given.contains(QLatin1StringView(option)))
            return QString();
        if (const QString value = sources.environment ? sources.environment(variable) : QString(); !value.isEmpty()) {
            field = value;
            return QString::fromLatin1(variable);
        }
        field = savedValue;
        return savedValue.isEmpty() ? QString() : u"保存的接入设置 %1"_s.arg(sources.savedFile);
    };
    fill(access.token, "--token", "VELTRANE_TOKEN", saved.token);
    const QString keyFrom = fill(access.aesKey, "--aes-key", "VELTRANE_AES_KEY", saved.aesKey);
    if (!given.contains(u"--corpid"_s))
        fill(access.appId, "--appid", "VELTRANE_APPID", saved.appId);
    if (options.savedSettings) {
        // The family the window was set to, unless the options name one.
        if (!given.contains(u"--platform"_s))
            access.platform = saved.platform;
        if (!given.contains(u"--format"_s))
            access.format = saved.format;
        if (!given.contains(u"--agentid"_s))
            access.agentId = saved.agentId;
        if (!given.contains(u"--openid"_s))
            access.openId = saved.openId;
        if (!given.contains(u"--mode"_s))
            access.mode = saved.mode;
        access.caFile = saved.caFile; // --cacert, if given, wins where the exchange is set up
    }
    if (!keyFrom.isEmpty() && !decodeAesKey(access.aesKey))
        return usage(u"%1 中的 EncodingAESKey 须是 43 个字符、补上 \"=\" 后能按 base64 解码为 32 字节"_s.arg(keyFrom));
    return std::nullopt;
}

} // namespace

std::optional<std::chrono::milliseconds> optionSeconds(const QString &text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value) || value < 0.001 || value > 86'400)
        return std::nullopt;
    return std::chrono::milliseconds(std::llround(value * 1000));
}

std::optional<QString> caFileProblem(const QString &file)
{
    if (!QFileInfo(file).isFile() || !QFileInfo(file).isReadable())
        return u"--cacert 的证书文件 \"%1\" 不存在或不可读"_s.arg(file);
    return std::nullopt;
}

std::variant<PostOptions, UsageError> parsePostOptions(const QStringList &arguments, const SettingSources &sources)
{
    PostOptions options;
    QSet<QString> given;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (optionsEnded || !argument.startsWith(u'-') || argument == u"-") {
            if (!options.url.isEmpty())
                return usage(u"多余的参数 \"%1\"：只能给出一个地址"_s.arg(argument));
            if (argument.isEmpty())
                return usage(u"地址为空"_s);
            options.url = argument;
            continue;
        }
        if (argument == u"--") {
            optionsEnded = true;
            continue;
        }

        // "--name value" or "--name=value".
        QString name = argument;
        std::optional<QString> value;
        if (const qsizetype equals = argument.indexOf(u'='); argument.startsWith(u"--") && equals > 0) {
            name = argument.left(equals);
            value = argument.mid(equals + 1);
        }
        const bool valued = valuedOptions().contains(name);
        if (!valued && !switches().contains(name))
            return usage(u"未知的选项 %1"_s.arg(name));
        if (!valued && value)
            return usage(u"选项 %1 不带值"_s.arg(name));
        if (valued && !value) {
            if (i + 1 >= arguments.size())
                return usage(u"选项 %1 缺少值"_s.arg(name));
            value = arguments[++i];
        }
        if (given.contains(name) && name != u"--set")
            return usage(u"选项 %1 给了两次"_s.arg(name));
        given.insert(name);

        if (name == u"--help" || name == u"-h") {
            options.help = true;
        } else if (name == u"--version") {
            options.version = true;
        } else if (name == u"--check-url") {
            options.checkUrl = true;
        } else if (name == u"--json") {
            options.json = true;
        } else if (name == u"-v") {
            options.verbose = true;
        } else if (name == u"--sample") {
            options.sample = value; // checked against the family and the samples folder once every option is read
        } else if (name == u"--platform") {
            const std::optional<Platform> platform = platformFromName(*value);
            if (!platform || *platform == Platform::Pay)
                return usage(u"--platform 只能是 oa、miniprogram、wecom 或 open，不是 \"%1\""_s.arg(*value));
            options.access.platform = *platform;
        } else if (name == u"--format") {
            if (*value != u"xml" && *value != u"json")
                return usage(u"--format 只能是 xml 或 json，不是 \"%1\""_s.arg(*value));
            options.access.format = *value == u"json" ? BodyFormat::Json : BodyFormat::Xml;
        } else if (name == u"--corpid") {
            if (value->isEmpty())
                return usage(u"--corpid 为空"_s);
            options.access.appId = *value;
        } else if (name == u"--agentid") {
            const bool digits = !value->isEmpty() && std::all_of(value->begin(), value->end(), [](QChar c) {
                return c >= u'0' && c <= u'9';
            });
            if (!digits)
                return usage(u"--agentid 须是数字（企业微信应用的 AgentID），不是 \"%1\""_s.arg(*value));
            options.access.agentId = *value;
        } else if (name == u"--every") {
            options.every = optionSeconds(*value);
            if (!options.every)
                return usage(u"--every 须是 0.001 到 86400 之间的秒数，不是 \"%1\""_s.arg(*value));
        } else if (name == u"--set") {
            options.sets.append(*value); // tried on the push before anything is sent
        } else if (name == u"--samples-dir") {
            if (!QFileInfo(*value).isDir())
                return usage(u"--samples-dir 的文件夹 \"%1\" 不存在"_s.arg(*value));
            options.samplesDir = *value;
        } else if (name == u"--body") {
            if (value->isEmpty())
                return usage(u"--body 的文件名为空"_s);
            options.bodyFile = value;
        } else if (name == u"--token") {
            if (value->isEmpty())
                return usage(u"--token 为空"_s);
            options.access.token = *value;
        } else if (name == u"--aes-key") {
            if (!decodeAesKey(*value))
                return usage(u"--aes-key 须是 43 个字符、补上 \"=\" 后能按 base64 解码为 32 字节的 EncodingAESKey"_s);
            options.access.aesKey = *value;
        } else if (name == u"--appid") {
            options.access.appId = *value;
        } else if (name == u"--openid") {
            options.access.openId = *value;
        } else if (name == u"--mode") {
            const std::optional<MessageMode> mode = modeNamed(*value);
            if (!mode)
                return usage(u"--mode 只能是 plain、compat 或 safe，不是 \"%1\""_s.arg(*value));
            options.access.mode = *mode;
        } else if (name == u"--repeat") {
            options.repeat = boundedCount(*value, 1, kMaxRepeat);
            if (!options.repeat)
                return usage(u"--repeat 须是 1 到 %1 之间的整数，不是 \"%2\""_s.arg(kMaxRepeat).arg(*value));
        } else if (name == u"--concurrency") {
            const std::optional<int> concurrency = boundedCount(*value, 1, kMaxConcurrency);
            if (!concurrency)
                return usage(u"--concurrency 须是 1 到 %1 之间的整数，不是 \"%2\""_s.arg(kMaxConcurrency).arg(*value));
            options.concurrency = *concurrency;
        } else if (name == u"--timeout" || name == u"--max-time") {
            const std::optional<std::chrono::milliseconds> time = optionSeconds(*value);
            if (!time)
                return usage(u"%1 须是 0.001 到 86400 之间的秒数，不是 \"%2\""_s.arg(name, *value));
            (name == u"--timeout" ? options.stallTimeout : options.maxTime.emplace()) = *time;
        } else if (name == u"--cacert") {
            if (const std::optional<QString> problem = caFileProblem(*value))
                return usage(*problem);
            options.caFile = *value;
        } else if (name == u"--deliver") {
            options.deliver = true;
        } else if (name == u"--conformance") {
            options.conformance = true;
        } else if (name == u"--rate") {
            bool ok = false;
            const double rate = value->toDouble(&ok);
            if (!ok || !std::isfinite(rate) || rate < 0.1 || rate > kMaxRate)
                return usage(u"--rate 须是 0.1 到 %1 之间的每秒次数，不是 \"%2\""_s.arg(kMaxRate).arg(*value));
            options.rate = rate;
        } else if (name == u"--junit") {
            if (value->isEmpty())
                return usage(u"--junit 的文件名为空"_s);
            options.junitFile = value;
        } else if (name == u"--har") {
            options.harFile = *value;
        } else if (readReplayOption(options, name, value.value_or(QString()))) {
            // --replay, --entry, --resign
        } else if (name == u"--saved-settings") {
            options.savedSettings = true;
        }
    }
    if (options.help || options.version)
        return options;
    if (options.samplesDir.isEmpty())
        options.samplesDir = userSamplesFolder();
    if (const std::optional<UsageError> error = fillInAccess(options, given, sources))
        return *error;
    if (const std::optional<UsageError> error = inconsistency(options, given))
        return *error;
    return options;
}
