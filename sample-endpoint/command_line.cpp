#include "command_line.h"

#include "crypto/message_crypto.h"

#include "pay/platform_key.h"
#include "pay/resource_cipher.h"

#include <QFile>
#include <QString>

#include <charconv>

namespace {

std::optional<int> parsePort(std::string_view text)
{
    int port = -1;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
    if (error != std::errc() || end != text.data() + text.size() || port < 0 || port > 65535)
        return std::nullopt;
    return port;
}

// What the family needs of the options, and what it has no use for.
std::optional<CommandLineError> familyMismatch(const CommandLine &line, std::string_view receiveIdOption)
{
    const bool weCom = line.platform == Platform::WeCom;
    const std::string idOption = weCom ? "--corpid" : "--appid";
    if (!receiveIdOption.empty() && receiveIdOption != idOption)
        return CommandLineError{weCom ? "企业微信的接收端用 --corpid 给出 CorpID，而不是 --appid"
                                      : "--corpid 只用于 --platform wecom；其余平台用 --appid"};
    if (line.format && line.platform != Platform::MiniProgram)
        return CommandLineError{"--format 只用于 --platform miniprogram"};
    // WeCom and the third-party platform only ever send encrypted messages.
    if ((weCom || line.platform == Platform::OpenPlatform) && (!line.token || !line.aesKey || line.appId.empty()))
        return CommandLineError{(weCom ? "企业微信" : "第三方平台") + std::string("的消息总是加密的：需要 --token、--aes-key 和 ")
                                + idOption};
    // Encrypted pushes are signed with the token and carry the AppID.
    if (line.aesKey && (!line.token || line.appId.empty()))
        return CommandLineError{"--aes-key 需要同时给出 --token 和 --appid"};
    if (!line.aesKey && !line.appId.empty())
        return CommandLineError{"--appid 只在给出 --aes-key 时有用"};
    return std::nullopt;
}

} // namespace

std::variant<CommandLine, CommandLineError> ParseCommandLine(std::span<const std::string_view> arguments)
{
    CommandLine result;
    std::string_view receiveIdOption; // which of --appid and --corpid named it
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string_view option = arguments[i];
        std::optional<std::string_view> value;
        if (const auto equals = option.find('='); option.starts_with("--") && equals != std::string_view::npos) {
            value = option.substr(equals + 1);
            option = option.substr(0, equals);
        }
        if (option == "--help" || option == "-h") {
            result.help = true;
            continue;
        }
        if (option != "--port" && option != "--token" && option != "--aes-key" && option != "--appid"
            && option != "--corpid" && option != "--platform" && option != "--format" && option != "--apiv3-key"
            && option != "--certificate")
            return CommandLineError{"未知参数：" + std::string(arguments[i])};
        if (!value) {
            if (i + 1 == arguments.size())
                return CommandLineError{std::string(option) + " 后面缺少值"};
            value = arguments[++i];
        }
        if (option == "--token") {
            if (value->empty())
                return CommandLineError{"--token 的值不能为空"};
            result.token = std::string(*value);
        } else if (option == "--aes-key") {
            const auto key = decodeAesKey(QString::fromUtf8(value->data(), qsizetype(value->size())));
            if (!key)
                return CommandLineError{"--aes-key 应为 43 个字符，补上“=”后能按 base64 解出 32 字节"};
            result.aesKey = key->toStdString();
        } else if (option == "--appid" || option == "--corpid") {
            if (!receiveIdOption.empty() && receiveIdOption != option)
                return CommandLineError{"--appid 和 --corpid 只能给一个"};
            receiveIdOption = option;
            result.appId = std::string(*value);
        } else if (option == "--platform") {
            const auto platform = platformFromName(QString::fromUtf8(value->data(), qsizetype(value->size())));
            if (!platform)
                return CommandLineError{"--platform 可选 oa、miniprogram、wecom、open、pay，收到的是：" + std::string(*value)};
            result.platform = *platform;
            result.pay = *platform == Platform::Pay;
        } else if (option == "--format") {
            if (*value != "xml" && *value != "json")
                return CommandLineError{"--format 可选 xml 或 json，收到的是：" + std::string(*value)};
            result.format = *value == "json" ? BodyFormat::Json : BodyFormat::Xml;
        } else if (option == "--apiv3-key") {
            if (value->size() != kApiV3KeySize)
                return CommandLineError{"--apiv3-key 应为 32 个字符（商户的 APIv3 密钥）"};
            result.apiV3Key = std::string(*value);
        } else if (option == "--certificate") {
            QFile file(QString::fromUtf8(value->data(), qsizetype(value->size())));
            const QByteArray pem = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
            if (!certificateSerial(pem))
                return CommandLineError{"--certificate 应为可读的 PEM 证书文件（veltrane-post --pay-certificate 导出的平台证书）："
                                        + std::string(*value)};
            result.certificatePem = pem.toStdString();
        } else if (const auto port = parsePort(*value)) {
            result.port = *port;
        } else {
            return CommandLineError{"端口应为 0 到 65535 之间的整数：" + std::string(*value)};
        }
    }
    if (result.pay != (!result.apiV3Key.empty() && !result.certificatePem.empty()))
        return CommandLineError{result.pay ? "--platform pay 需要同时给出 --apiv3-key 和 --certificate"
                                           : "--apiv3-key 和 --certificate 只与 --platform pay 同用"};
    if (result.pay && (result.token || result.aesKey))
        return CommandLineError{"--platform pay 不用 --token 和 --aes-key：支付通知用平台证书验签、APIv3 密钥解密"};
    if (result.pay)
        return result;
    if (auto error = familyMismatch(result, receiveIdOption))
        return *error;
    return result;
}

std::string Usage(std::string_view program)
{
    return "用法: " + std::string(program) + " [--platform oa|miniprogram|wecom|open|pay] [--port PORT]\n"
        "       [--token TOKEN [--aes-key KEY --appid APPID|--corpid CORPID]] [--format xml|json]\n"
        "\n"
        "在 127.0.0.1 上扮演开发者的接收端，供 Veltrane 投递推送消息，地址为 /api/。\n"
        "\n"
        "  --port PORT    监听的端口，默认 8080；0 表示任选一个空闲端口\n"
        "  --token TOKEN  校验每个请求查询参数中的 signature、timestamp、nonce；\n"
        "                 不给则不校验签名\n"
        "  --aes-key KEY  EncodingAESKey（43 个字符）：兼容模式和安全模式的推送\n"
        "                 （查询参数 encrypt_type=aes）先校验 msg_signature 再解密，\n"
        "                 回复也加密；明文推送照常回复明文\n"
        "  --appid APPID  与 --aes-key 一起给出：解密后核对、加密回复时附上\n"
        "                 （第三方平台：第三方平台自己的 AppID）\n"
        "  --platform P   扮演哪一类接收端，默认 oa：\n"
        "                 oa           公众号\n"
        "                 miniprogram  小程序消息推送：XML 或 JSON，按推送的格式回复\n"
        "                 wecom        企业微信回调：只校验 msg_signature，URL 校验回复\n"
        "                              解密后的 echostr，推送总是加密；需要 --corpid\n"
        "                 open         第三方平台授权事件：总是加密，校验 signature 和\n"
        "                              msg_signature，回复 success\n"
        "                 pay          微信支付通知：需要 --apiv3-key 和 --certificate\n"
        "  --corpid ID    企业微信的 CorpID：解密后核对、加密回复时附上\n"
        "  --format F     小程序的数据格式 xml 或 json：另一种格式的推送被拒绝；\n"
        "                 不给则两种都接收\n"
        "  --platform pay --apiv3-key KEY --certificate FILE\n"
        "                 改为接收微信支付通知：用 FILE 中的平台证书验证 Wechatpay-Signature，\n"
        "                 用 32 个字符的 APIv3 密钥解密 resource 并校验认证标签；\n"
        "                 通过则答复 200（正文为解密出的 resource），否则答复 4xx 和\n"
        "                 {\"code\":\"FAIL\",\"message\":…}\n"
        "  --help         显示本说明\n";
}
