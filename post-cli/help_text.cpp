#include "help_text.h"

#include "post_options.h"
#include "platform/named_samples.h"

using namespace Qt::Literals::StringLiterals;

namespace {

// A family's sample names, wrapped under the option's description column.
QString wrappedSampleNames(Platform platform)
{
    constexpr qsizetype kWidth = 72;
    const QString indent(23, u' ');
    QString text, line = platformName(platform) + u':';
    for (const QString &name : sampleNames(platform)) {
        if (indent.size() + line.size() + name.size() + 2 > kWidth) {
            text += line + u",\n"_s + indent + u"  "_s;
            line.clear();
        }
        line += (line.endsWith(u':') || line.isEmpty() ? u" "_s : u", "_s) + name;
    }
    return text + line;
}

// Every family's names, a block each.
QString familiesSampleNames()
{
    QStringList blocks;
    for (Platform platform : {Platform::OfficialAccount, Platform::MiniProgram, Platform::WeCom, Platform::OpenPlatform})
        blocks.append(wrappedSampleNames(platform));
    return blocks.join(u"\n"_s + QString(23, u' '));
}

} // namespace

QString helpText()
{
    const QString samples = familiesSampleNames();
    return uR"(用法：veltrane-post URL [选项]
向接收端地址 URL 发送一条推送消息（与 Veltrane 窗口同一套发送、签名、加密与解码），
在标准输出上原样打印接收端的回复文本（加密的回复先解密），即结果窗口显示的文字，
UTF-8 编码，不另加换行。加密的回复解不开或未通过校验时，与结果窗口一样按原样打印，
标准错误上说明哪项校验没有通过。重定向不跟随（平台也不跟随），
3xx 回复判定为不通过。

  --sample 名称        现成的推送，按 --platform 所选平台：
                       %1
                       （公众号的 text、picture、location 与窗口的三个按钮逐字节相同；
                       其余样例每次带当前的 CreateTime 和新的 MsgId、票据或授权码；
                       不给时用所选平台的第一个样例；
                       也可以是窗口“另存为样例…”保存的样例，同名时内置样例优先）
  --samples-dir 文件夹 到这个文件夹（而不是用户的样例文件夹）找 --sample 的样例
  --set 名称=值        把推送里元素“名称”的文字换成“值”（有 CDATA 的留在 CDATA 里；
                       没有的元素加在 </xml> 前；JSON 正文按字段路径，如 a.b=1）；
                       可以给多次，例如 --sample text --set Content=退订
  --body 文件          正文取自文件，逐字节发送（'-' 为标准输入）；
                       不是有效 UTF-8 的文件不发送（退出状态 2）
                       （两者都不给：文本样例）
  --token T --aes-key K --appid A --openid O --mode plain|compat|safe
                       按这些接入设置签名、加密，与窗口相同。
                       命令行上的 Token 和 EncodingAESKey 会出现在 ps 的输出里，
                       别的用户也看得到：改用环境变量 VELTRANE_TOKEN、
                       VELTRANE_AES_KEY、VELTRANE_APPID，或 --saved-settings
  --platform oa|miniprogram|wecom|open
                       推送来自哪个平台（默认 oa 公众号）：miniprogram 小程序，
                       wecom 企业微信（总是加密，只带 msg_signature），
                       open 第三方平台（总是加密，答复须为 success，没有 URL 验证）
  --format xml|json    小程序推送的数据格式（默认 xml）
  --corpid ID --agentid N
                       企业微信的 CorpID（加密用的接收 id）和应用的 AgentID；
                       --appid 则是公众号、小程序的 AppID，或第三方平台的 AppID
  --saved-settings     用窗口“接入设置”保存的设置；环境变量优先于它，选项又优先于两者
  --check-url          验证 URL（带 echostr 的 GET），而不是发送推送；企业微信的 echostr
                       是加密的，接收端须在 1 秒内答复解密后的明文
  --every S            每 S 秒发送一次，直到按 Ctrl+C（如第三方平台的
                       component_verify_ticket 每 10 分钟一次：--every 600）；
                       每个回复各占一行
  --check-url          验证 URL（带 echostr 的 GET），而不是发送推送
  --deliver            平台投递：5 秒内没答复完就断开，同一条消息（MsgId、CreateTime 不变，
                       每次重新签名、加密）至多发三次；打印每次的结果和共几次
  --conformance        一致性检查：地址校验、本类推送的每个样例、重发的推送、伪造的请求；
                       每项一行 ✔/⚠/✘：发送了什么、收到什么、该改什么。需要 --token
  --junit 文件         （与 --conformance 同用）把结果写成 JUnit XML，供 CI 读取
  --repeat N           发送 N 次（至多 %2），打印汇总而不是回复：次数、失败、
                       用时（最短/中位/P95/P99/最长）、超过 5 秒的次数、判定未通过的次数
  --concurrency C      同时发送 C 个（至多 %3），各在自己的线程上；
                       每次发送都新建请求和连接，互不复用（与窗口和平台相同），
                       每次重新签名
  --rate R             （与 --repeat 同用）每秒发送 R 次（至多 200），开环：接收端变慢也不减速，
                       与平台相同；汇总按秒列出次数、超时、失败和 P50/P95 用时，并说明平台是否会报警
                       （5 分钟内请求超时、回应失败或连接失败达 30 次）
  --json               每次交互在标准输出上打印一行 JSON：请求、回复、用时、判定、失败
                       （与 --repeat 同用时，汇总改印在标准错误上）；每段正文至多 1 MB，
                       bodySize 是完整的字节数，bodyCut 表示是否截断
  --timeout S          无进展多少秒后放弃（默认 30，与窗口相同）
  --max-time S         整个交互至多 S 秒，到时放弃（错误 17），即使回复还在一点点地来
  --cacert 文件        只信任这个 PEM 文件里的证书（如本地 HTTPS 接收端的自签名证书），
                       而不是系统的证书；不给时与 curl 相同，依次看环境变量
                       CURL_CA_BUNDLE、SSL_CERT_FILE。证书总会验证，没有关掉验证的选项
  --har 文件           把本次运行的每次交互写成一个 HAR 1.2 文件（浏览器开发者工具可打开）
  -v                   在标准错误上打印请求，以及回复的状态行和头部
  -h, --help           显示本说明
  --version            显示版本

退出状态：0 全部完成且每条判定都通过（提醒不算失败）；1 有回复但判定未通过；
2 命令行有误；3 发送失败（连接被拒、超时、证书、连接中断、不是 http/https 地址……）
或按 Ctrl+C 中断（进行中的发送被取消，先打印已有的汇总）。
--check-url：0 通过，1 接收端回复不符，3 发送失败。
--every：Ctrl+C 是正常的结束，退出状态按已完成的各次发送定。
--conformance：0 没有 ✘（⚠ 不算失败），1 有 ✘，3 接收端连不上。
--deliver：0 送达，1 送达但用户看到“暂时无法提供服务”或三次都是错误状态，3 三次都超时或连不上。
除 0 外，标准错误上都有一行原因，失败时与窗口相同："发送失败(错误 N):说明"。

Usage: veltrane-post URL [options]
Posts one push message to the endpoint URL (the same post, signature, encryption and decoding as
the Veltrane window) and prints the endpoint's answer on standard output exactly as the result
window shows it (decrypted when it was encrypted), in UTF-8, with no newline added. An encrypted
answer that cannot be opened or fails its checks is printed as it came, as the result window
shows it, and standard error says which check failed. Redirects are not followed (the platform
follows none): a 3xx answer fails the verdict.

  --sample NAME        a ready-made push of the family chosen with --platform:
                       %1
                       (the official account's text, picture and location are byte for
                       byte the window's three; the others carry the current CreateTime
                       and a fresh MsgId, ticket or code each time; without it: the
                       family's first sample; also a sample saved with the window's
                       另存为样例…, built-in samples winning on the same name)
  --samples-dir DIR    look for --sample's user samples in DIR, not the user's samples folder
  --set NAME=VALUE     replace the text of the push's element NAME with VALUE (inside its
                       CDATA section where it has one; a missing element is added before
                       </xml>; in a JSON body a key path such as a.b=1); repeatable, e.g.
                       --sample text --set Content=退订
  --body FILE          the body from a file, sent byte for byte ('-' for standard input);
                       a file that is not valid UTF-8 is refused (status 2)
                       (neither: the text sample)
  --token T --aes-key K --appid A --openid O --mode plain|compat|safe
                       sign and encrypt with these access settings, as the window does.
                       A Token or EncodingAESKey on the command line shows in ps to every
                       user: use the environment's VELTRANE_TOKEN, VELTRANE_AES_KEY and
                       VELTRANE_APPID, or --saved-settings, instead
  --platform oa|miniprogram|wecom|open
                       the family the pushes come from (default oa, the official account):
                       miniprogram, wecom (always encrypted, msg_signature only), open
                       (the third-party platform: always encrypted, answered success,
                       no URL check)
  --format xml|json    the mini-program's body format (default xml)
  --corpid ID --agentid N
                       WeCom's CorpID (the receive id encryption seals for) and the
                       application's AgentID; --appid is the official account's or
                       mini-program's AppID, or the third-party platform's AppID
  --saved-settings     the access settings the window saved; the environment wins over them,
                       and options win over both
  --check-url          the URL check (GET with echostr) instead of a post; WeCom's echostr
                       is encrypted, and the endpoint must answer its plaintext within 1 s
  --every S            a post every S seconds until Ctrl+C (the third-party platform sends
                       component_verify_ticket every 10 minutes: --every 600); each
                       answer on a line of its own
  --check-url          the URL check (GET with echostr) instead of a post
  --deliver            deliver as the platform does: a try not answered within 5 s is cut, and
                       the same message (same MsgId and CreateTime, signed and encrypted afresh)
                       goes again, three tries at most; prints what each try got
  --conformance        the URL check, every sample of the family, a push sent again and forged
                       requests; one line per check: ✔/⚠/✘, what was sent, what came back, what
                       to fix. Needs --token
  --junit FILE         (with --conformance) the results as JUnit XML for CI
  --repeat N           N posts (at most %2); prints a summary instead of the answer: count,
                       failures, latency min/median/p95/p99/max, how many took over 5 s,
                       how many verdicts failed
  --concurrency C      C posts at a time (at most %3), each on a worker thread of its own;
                       every post has its own request and connection, nothing is reused
                       (as the window and the platform do), and is signed afresh
  --rate R             (with --repeat) R posts a second (at most 200), open loop: the rate holds
                       when the endpoint slows, as the platform's does; the summary gives each
                       second's count, timeouts, failures and p50/p95, and whether the platform
                       would raise its alarms (30 timeouts, failed answers or failed connections
                       in 5 minutes)
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
  --har FILE           every exchange of the run written to FILE as HAR 1.2 (browsers'
                       developer tools open it)
  -v                   the request and the answer's status line and headers on standard error
  -h, --help           this help
  --version            the version

Exit status: 0 every exchange completed and every verdict line passed (warnings pass); 1 an
answer came but a verdict line failed; 2 usage error; 3 an exchange failed (refused, timed out,
certificate, cut off, not http or https...) or Ctrl+C ended the run (posts under way are
cancelled, the summary so far is printed). --check-url: 0 passed, 1 the endpoint answered wrong,
3 the exchange failed. --every: Ctrl+C is its normal end; the status follows the posts completed.
Every status but 0 comes with one line on standard error; a failure reads
3 the exchange failed. --conformance: 0 no ✘ (⚠ passes), 1 a check failed, 3 the endpoint
could not be reached. --deliver: 0 delivered, 1 delivered but unusable or three error statuses,
3 three tries timed out or found no connection. Every status but 0 comes with one line on standard error; a failure reads
as in the window: "发送失败(错误 N):description".
)"_s.arg(samples)
        .arg(kMaxRepeat)
        .arg(kMaxConcurrency);
}

QString versionText()
{
    return u"veltrane-post " VELTRANE_VERSION ""_s;
}
