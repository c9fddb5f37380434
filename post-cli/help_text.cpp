#include "help_text.h"

#include "post_options.h"
#include "push_samples.h"

using namespace Qt::Literals::StringLiterals;

namespace {

// The sample names, wrapped under the option's description column.
QString wrappedSampleNames()
{
    constexpr qsizetype kWidth = 72;
    const QString indent(23, u' ');
    QString text, line;
    for (const QString &name : sampleNames()) {
        if (!line.isEmpty() && indent.size() + line.size() + name.size() + 2 > kWidth) {
            text += line + u",\n"_s + indent;
            line.clear();
        }
        line += (line.isEmpty() ? QString() : u", "_s) + name;
    }
    return text + line;
}

} // namespace

QString helpText()
{
    const QString samples = wrappedSampleNames();
    return uR"(用法：veltrane-post URL [选项]
向接收端地址 URL 发送一条推送消息（与 Veltrane 窗口同一套发送、签名、加密与解码），
在标准输出上原样打印接收端的回复文本（加密的回复先解密），即结果窗口显示的文字，
UTF-8 编码，不另加换行。加密的回复解不开或未通过校验时，与结果窗口一样按原样打印，
标准错误上说明哪项校验没有通过。重定向不跟随（平台也不跟随），
3xx 回复判定为不通过。

  --sample 名称        现成的推送：
                       %1
                       （text、picture、location 与窗口的三个按钮逐字节相同；
                       其余样例每次带新的 MsgId；
                       也可以是窗口“另存为样例…”保存的样例，同名时内置样例优先）
  --samples-dir 文件夹 到这个文件夹（而不是用户的样例文件夹）找 --sample 的样例
  --body 文件          正文取自文件，逐字节发送（'-' 为标准输入）；
                       不是有效 UTF-8 的文件不发送（退出状态 2）
                       （两者都不给：文本样例）
  --token T --aes-key K --appid A --openid O --mode plain|compat|safe
                       按这些接入设置签名、加密，与窗口相同。
                       命令行上的 Token 和 EncodingAESKey 会出现在 ps 的输出里，
                       别的用户也看得到：改用环境变量 VELTRANE_TOKEN、
                       VELTRANE_AES_KEY、VELTRANE_APPID，或 --saved-settings
  --saved-settings     用窗口“接入设置”保存的设置；环境变量优先于它，选项又优先于两者
  --check-url          验证 URL（带 echostr 的 GET），而不是发送推送
  --repeat N           发送 N 次（至多 %2），打印汇总而不是回复：次数、失败、
                       用时（最短/中位/P95/P99/最长）、超过 5 秒的次数、判定未通过的次数
  --concurrency C      同时发送 C 个（至多 %3），各在自己的线程上；
                       每次发送都新建请求和连接，互不复用（与窗口和平台相同），
                       每次重新签名
  --json               每次交互在标准输出上打印一行 JSON：请求、回复、用时、判定、失败
                       （与 --repeat 同用时，汇总改印在标准错误上）；每段正文至多 1 MB，
                       bodySize 是完整的字节数，bodyCut 表示是否截断
  --timeout S          无进展多少秒后放弃（默认 30，与窗口相同）
  --max-time S         整个交互至多 S 秒，到时放弃（错误 17），即使回复还在一点点地来
  --cacert 文件        只信任这个 PEM 文件里的证书（如本地 HTTPS 接收端的自签名证书），
                       而不是系统的证书；不给时与 curl 相同，依次看环境变量
                       CURL_CA_BUNDLE、SSL_CERT_FILE。证书总会验证，没有关掉验证的选项
  -v                   在标准错误上打印请求，以及回复的状态行和头部
  -h, --help           显示本说明
  --version            显示版本

退出状态：0 全部完成且每条判定都通过（提醒不算失败）；1 有回复但判定未通过；
2 命令行有误；3 发送失败（连接被拒、超时、证书、连接中断、不是 http/https 地址……）
或按 Ctrl+C 中断（进行中的发送被取消，先打印已有的汇总）。
--check-url：0 通过，1 接收端回复不符，3 发送失败。
除 0 外，标准错误上都有一行原因，失败时与窗口相同："发送失败(错误 N):说明"。

Usage: veltrane-post URL [options]
Posts one push message to the endpoint URL (the same post, signature, encryption and decoding as
the Veltrane window) and prints the endpoint's answer on standard output exactly as the result
window shows it (decrypted when it was encrypted), in UTF-8, with no newline added. An encrypted
answer that cannot be opened or fails its checks is printed as it came, as the result window
shows it, and standard error says which check failed. Redirects are not followed (the platform
follows none): a 3xx answer fails the verdict.

  --sample NAME        a ready-made push:
                       %1
                       (text, picture and location are byte for byte the window's three;
                       the others carry a fresh MsgId each time; also a sample saved with
                       the window's 另存为样例…, built-in samples winning on the same name)
  --samples-dir DIR    look for --sample's user samples in DIR, not the user's samples folder
  --body FILE          the body from a file, sent byte for byte ('-' for standard input);
                       a file that is not valid UTF-8 is refused (status 2)
                       (neither: the text sample)
  --token T --aes-key K --appid A --openid O --mode plain|compat|safe
                       sign and encrypt with these access settings, as the window does.
                       A Token or EncodingAESKey on the command line shows in ps to every
                       user: use the environment's VELTRANE_TOKEN, VELTRANE_AES_KEY and
                       VELTRANE_APPID, or --saved-settings, instead
  --saved-settings     the access settings the window saved; the environment wins over them,
                       and options win over both
  --check-url          the URL check (GET with echostr) instead of a post
  --repeat N           N posts (at most %2); prints a summary instead of the answer: count,
                       failures, latency min/median/p95/p99/max, how many took over 5 s,
                       how many verdicts failed
  --concurrency C      C posts at a time (at most %3), each on a worker thread of its own;
                       every post has its own request and connection, nothing is reused
                       (as the window and the platform do), and is signed afresh
  --json               one JSON line per exchange on standard output: request, answer,
                       timings, verdict, failure (with --repeat the summary goes to standard
                       error); each body is cut at 1 MB, bodySize gives its whole size in
                       bytes and bodyCut whether it was cut
  --timeout S          give up after S seconds without progress (default 30, as the window)
  --max-time S         give up when the whole exchange takes over S seconds (failure 17),
                       even while the answer still trickles in
  --cacert FILE        trust only the certificates in this PEM file (a local HTTPS endpoint's
                       own, say) instead of the system's; without it, as curl does, the
                       environment's CURL_CA_BUNDLE, then SSL_CERT_FILE. Certificates are
                       always verified: no option turns that off
  -v                   the request and the answer's status line and headers on standard error
  -h, --help           this help
  --version            the version

Exit status: 0 every exchange completed and every verdict line passed (warnings pass); 1 an
answer came but a verdict line failed; 2 usage error; 3 an exchange failed (refused, timed out,
certificate, cut off, not http or https...) or Ctrl+C ended the run (posts under way are
cancelled, the summary so far is printed). --check-url: 0 passed, 1 the endpoint answered wrong,
3 the exchange failed. Every status but 0 comes with one line on standard error; a failure reads
as in the window: "发送失败(错误 N):description".
)"_s.arg(samples)
        .arg(kMaxRepeat)
        .arg(kMaxConcurrency);
}

QString versionText()
{
    return u"veltrane-post " VELTRANE_VERSION ""_s;
}
