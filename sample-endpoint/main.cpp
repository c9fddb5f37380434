#include "command_line.h"
#include "endpoint_server.h"
#include "pay_endpoint_server.h"

#include <httplib.h>

#include <sys/socket.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr char kHost[] = "127.0.0.1";

// One fwrite per line: stdio locks the stream, so lines from the server's
// threads never interleave.
void printLine(const std::string &line)
{
    const std::string text = line + "\n";
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    const auto parsed = ParseCommandLine(arguments);
    if (const auto *error = std::get_if<CommandLineError>(&parsed)) {
        std::fprintf(stderr, "%s\n\n%s", error->message.c_str(), Usage(argv[0]).c_str());
        return 2;
    }
    const CommandLine &options = std::get<CommandLine>(parsed);
    if (options.help) {
        std::fputs(Usage(argv[0]).c_str(), stdout);
        return 0;
    }

    httplib::Server server;
    if (options.pay)
        ServePayEndpoint(server, PayEndpointSettings{options.apiV3Key, options.certificatePem}, printLine);
    else
        ServeEndpoint(server, EndpointSettings{options.token, options.aesKey, options.appId, options.platform, options.format},
                      printLine);
    // Debian's httplib is built to listen with a backlog of 5: sixteen posts
    // connecting at once overflowed it, and each connection dropped waited 1
    // to 3 s for its next try. The bound socket is told to listen again, wider.
    socket_t listening = INVALID_SOCKET;
    server.set_socket_options([&listening](socket_t socket) {
        const int yes = 1; // as PrepareEndpointServer sets it
        setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
        listening = socket;
    });
    const int port = options.port == 0 ? server.bind_to_any_port(kHost)
                                       : (server.bind_to_port(kHost, options.port) ? options.port : -1);
    if (port < 0) {
        const int cause = errno; // left by the failed bind
        std::fprintf(stderr, "无法在 %s:%d 上监听：%s\n", kHost, options.port, std::strerror(cause));
        return 1;
    }

    ::listen(listening, SOMAXCONN);
    printLine("Veltrane 示例接收端已在 " + std::string(kHost) + ":" + std::to_string(port) + " 上监听");
    printLine("在 Veltrane 的地址框中输入: http://" + std::string(kHost) + ":" + std::to_string(port) + kEndpointPath);
    if (options.pay) {
        printLine("微信支付通知：用 --certificate 的平台证书验签，用 APIv3 密钥解密并校验认证标签");
    } else {
        printLine("扮演：" + platformCaption(options.platform).toStdString() + "的接收端（--platform "
                  + platformName(options.platform).toStdString() + "）");
        // WeCom signs with msg_signature alone.
        const std::string checked = options.platform == Platform::WeCom ? "（只校验 msg_signature）" : "";
        printLine(options.token ? "签名校验：开启" + checked + "，token 为 " + *options.token
                                : std::string("签名校验：关闭（用 --token TOKEN 开启）"));
        if (options.platform == Platform::WeCom || options.platform == Platform::OpenPlatform)
            printLine(std::string("加密消息：总是加密，") + (options.platform == Platform::WeCom ? "CorpID" : "AppID") + " 为 "
                      + options.appId);
        else
            printLine(options.aesKey ? "加密消息：明文、兼容、安全三种模式都可接收，AppID 为 " + options.appId
                                     : std::string("加密消息：不接收（用 --aes-key KEY --appid APPID 开启）"));
    }
    printLine("按 Ctrl+C 停止。每个请求一行：方法 路径 | Content-Type | 正文字节数 | 状态");
    return server.listen_after_bind() ? 0 : 1;
}
