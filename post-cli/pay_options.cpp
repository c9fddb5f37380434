#include "pay_options.h"

#include "post_options.h"

#include "pay/pay_notification.h"
#include "pay/resource_cipher.h"

#include <QJsonObject>

#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace {

const QStringList kValued{u"--platform"_s, u"--mchid"_s, u"--appid"_s, u"--apiv3-key"_s, u"--sample"_s,
                          u"--set"_s, u"--time-scale"_s, u"--timeout"_s, u"--cacert"_s};
const QStringList kSwitches{u"--probe"_s, u"--probe-key"_s, u"--pay-certificate"_s, u"-v"_s, u"--help"_s, u"-h"_s,
                            u"--deliver"_s, u"--saved-settings"_s, u"--json"_s};

PayUsageError usage(const QString &reason)
{
    return {reason};
}

std::optional<PayUsageError> checkKey(const QString &key, const QString &from)
{
    if (const std::optional<QString> problem = apiV3KeyProblem(key))
        return usage(from + u"："_s + *problem);
    return std::nullopt;
}

// What only makes sense together, once every option is read.
std::optional<PayUsageError> inconsistency(const PayOptions &options)
{
    if (options.printCertificate)
        return std::nullopt;
    if (options.url.isEmpty())
        return usage(u"没有给出接收端地址 （URL）"_s);
    if (options.access.apiV3Key.isEmpty())
        return usage(u"需要 --apiv3-key（或环境变量 VELTRANE_APIV3_KEY）：通知的 resource 用它加密"_s);
    if (options.access.mchId.isEmpty())
        return usage(u"需要 --mchid：商户号"_s);
    if (options.signatureProbe && options.wrongKeyProbe)
        return usage(u"--probe 与 --probe-key 只能选一个"_s);
    // A probe is judged on its one sending: the platform does not retry it.
    if (options.deliver && (options.signatureProbe || options.wrongKeyProbe))
        return usage(u"探测只发一次，不能与 --deliver 或 --time-scale 同用"_s);
    // Each --set is tried on the sample now, so that a bad one stops the run before anything is sent.
    QJsonObject resource = paySampleResource(*findPaySample(options.sample), options.access, {});
    for (const QString &assignment : options.assignments) {
        if (const std::optional<QString> problem = setResourceField(resource, assignment))
            return usage(*problem);
    }
    return std::nullopt;
}

// --saved-settings: what the options and the environment left out, from
// what the window saved; its key is checked as a typed one, named by where it came from.
std::optional<PayUsageError> fillInSaved(PayOptions &options, const QStringList &given, const SettingSources &sources)
{
    const std::optional<AccessSettings> saved = sources.saved ? sources.saved() : std::nullopt;
    if (!saved)
        return usage(u"--saved-settings：没有保存的接入设置（%1 不存在），先在窗口的“接入设置”里保存"_s.arg(sources.savedFile));
    AccessSettings &access = options.access;
    if (!given.contains(u"--mchid"_s))
        access.mchId = saved->mchId;
    if (!given.contains(u"--appid"_s))
        access.appId = saved->appId;
    if (access.apiV3Key.isEmpty() && !saved->apiV3Key.isEmpty()) {
        if (const auto error = checkKey(saved->apiV3Key, u"保存的接入设置 %1 中的 APIv3 密钥"_s.arg(sources.savedFile)))
            return error;
        access.apiV3Key = saved->apiV3Key;
    }
    if (!given.contains(u"--cacert"_s))
        options.caFile = saved->caFile;
    return std::nullopt;
}

} // namespace

bool asksForPay(const QStringList &arguments, const SettingSources &sources)
{
    bool platformGiven = false;
    bool saved = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == u"--platform=pay" || (arguments[i] == u"--platform" && arguments.value(i + 1) == u"pay"))
            return true;
        if (arguments[i] == u"--")
            break;
        platformGiven = platformGiven || arguments[i] == u"--platform" || arguments[i].startsWith(u"--platform=");
        saved = saved || arguments[i] == u"--saved-settings";
    }
    if (!saved || platformGiven || !sources.saved)
        return false;
    const std::optional<AccessSettings> settings = sources.saved();
    return settings && settings->platform == Platform::Pay;
}

std::variant<PayOptions, PayUsageError> parsePayOptions(const QStringList &arguments, const SettingSources &sources)
{
    PayOptions options;
    QStringList given;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (!argument.startsWith(u'-') || argument == u"-") {
            if (!options.url.isEmpty())
                return usage(u"多余的参数 \"%1\"：只能给出一个地址"_s.arg(argument));
            options.url = argument;
            continue;
        }
        QString name = argument;
        std::optional<QString> value;
        if (const qsizetype equals = argument.indexOf(u'='); argument.startsWith(u"--") && equals > 0) {
            name = argument.left(equals);
            value = argument.mid(equals + 1);
        }
        const bool valued = kValued.contains(name);
        if (!valued && !kSwitches.contains(name))
            return usage(u"未知的选项 %1（--platform pay 时）"_s.arg(name));
        if (!valued && value)
            return usage(u"选项 %1 不带值"_s.arg(name));
        if (valued && !value) {
            if (i + 1 >= arguments.size())
                return usage(u"选项 %1 缺少值"_s.arg(name));
            value = arguments[++i];
        }
        if (given.contains(name) && name != u"--set")
            return usage(u"选项 %1 给了两次"_s.arg(name));
        given.append(name);

        if (name == u"--platform") {
            if (*value != u"pay")
                return usage(u"--platform pay 不能与 --platform %1 同用"_s.arg(*value));
        } else if (name == u"--mchid") {
            options.access.mchId = *value;
        } else if (name == u"--appid") {
            options.access.appId = *value;
        } else if (name == u"--apiv3-key") {
            if (const auto error = checkKey(*value, u"--apiv3-key"_s))
                return *error;
            options.access.apiV3Key = *value;
        } else if (name == u"--sample") {
            if (!findPaySample(*value))
                return usage(u"没有名为 \"%1\" 的支付通知样例；可选：%2"_s.arg(*value, paySampleNames().join(u", ")));
            options.sample = *value;
        } else if (name == u"--set") {
            options.assignments.append(*value);
        } else if (name == u"--time-scale") {
            bool ok = false;
            const double scale = value->toDouble(&ok);
            if (!ok || !std::isfinite(scale) || scale < 1 || scale > 1e6)
                return usage(u"--time-scale 须是 1 到 1000000 之间的数（1000：一天的重试约 87 秒），不是 \"%1\""_s.arg(*value));
            options.timeScale = scale;
            options.deliver = true;
        } else if (name == u"--timeout") {
            const std::optional<std::chrono::milliseconds> timeout = optionSeconds(*value);
            if (!timeout)
                return usage(u"--timeout 须是 0.001 到 86400 之间的秒数，不是 \"%1\""_s.arg(*value));
            options.stallTimeout = *timeout;
        } else if (name == u"--cacert") {
            if (const std::optional<QString> problem = caFileProblem(*value))
                return usage(*problem);
            options.caFile = *value;
        } else if (name == u"--deliver") {
            options.deliver = true;
        } else if (name == u"--saved-settings") {
            options.savedSettings = true;
        } else if (name == u"--json") {
            options.json = true;
        } else if (name == u"--probe") {
            options.signatureProbe = true;
        } else if (name == u"--probe-key") {
            options.wrongKeyProbe = true;
        } else if (name == u"--pay-certificate") {
            options.printCertificate = true;
        } else if (name == u"--help" || name == u"-h") {
            options.help = true;
        } else if (name == u"-v") {
            options.verbose = true;
        }
    }
    if (!given.contains(u"--apiv3-key"_s) && sources.environment) {
        if (const QString key = sources.environment("VELTRANE_APIV3_KEY"); !key.isEmpty()) {
            if (const auto error = checkKey(key, u"环境变量 VELTRANE_APIV3_KEY"_s))
                return *error;
            options.access.apiV3Key = key;
        }
    }
    if (options.savedSettings) {
        if (const auto error = fillInSaved(options, given, sources))
            return *error;
    }
    options.access.platform = Platform::Pay;
    if (options.help)
        return options;
    if (const auto error = inconsistency(options))
        return *error;
    return options;
}
