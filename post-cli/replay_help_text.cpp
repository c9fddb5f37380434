#include "replay_help_text.h"

using namespace Qt::Literals::StringLiterals;

QString replayHelpText()
{
    return uR"(
用法：veltrane-post --replay 文件.har [--entry N] [--resign] [URL] [选项]
重发 HAR 文件（Veltrane 导出的、浏览器开发者工具或 HTTP 客户端保存的）里记录的一个 POST 请求。
  --replay 文件.har    文件里只有一个 POST 时重发它；有几个又没给 --entry 时列出编号、时间、
                       地址和大小（退出状态 2）
  --entry N            重发第 N 个 POST 请求（从 1 起）
  --resign             重新签名后发送：同一推送，新的 timestamp、nonce 和签名，按 --token 等
                       接入设置（安全模式下先用 --aes-key 解开记录的 Encrypt，再重新加密）；
                       不给时原样重发：记录的地址和正文逐字节不变，旧签名也不变，
                       看接收端怎样对待重放的请求
  URL                  代替记录的地址：用给出的协议、主机、端口和路径；给出的 URL 不带查询
                       参数时保留记录的查询参数（签名参数在内），带了则只用给出的
  输出、--json、--har、-v 和退出状态与普通发送相同；文件不是 HAR、不是 JSON 或没有 POST
  时退出状态 2，标准错误上说明原因。

Usage: veltrane-post --replay FILE.har [--entry N] [--resign] [URL] [options]
Sends again one POST recorded in a HAR file (Veltrane's export, a browser's developer tools, an
HTTP client). With several POST entries and no --entry, lists them (number, time, URL, size) and
exits with status 2. Without --resign the recorded URL and body go byte for byte, old signature
included; --resign signs the same push afresh under the access settings (in safe mode the
recorded Encrypt is decrypted with --aes-key and encrypted again). A URL given replaces the
recorded one's scheme, host, port and path, and keeps the recorded query unless it has its own.
)"_s;
}
