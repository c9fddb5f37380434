#include "pay_help_text.h"

#include "pay/pay_notification.h"

using namespace Qt::Literals::StringLiterals;

QString payHelpText()
{
    return uR"(
微信支付通知（--platform pay）：扮演支付平台，向 URL 发送 API v3 的支付/退款通知：
resource 用 APIv3 密钥以 AEAD_AES_256_GCM 加密，请求头 Wechatpay-* 用 Veltrane 自己的
平台密钥签名（不是真实平台的密钥）。接收端的 SDK 要配置 Veltrane 的平台证书。
  --platform pay --mchid 商户号 --appid AppID --apiv3-key 密钥
                       APIv3 密钥须是 32 个字符；也可用环境变量 VELTRANE_APIV3_KEY
  --sample 名称        %1（默认第一个）
  --set 路径=值        改 resource 的一个字段再加密，可重复：amount.total=1、out_trade_no=A123
  --probe              验签探测：签名以 WECHATPAY/SIGNTEST/ 开头且是错的，接收端应拒绝
  --probe-key          错误密钥探测：签名正确，resource 用别的 APIv3 密钥加密，接收端应拒绝
  --deliver            平台投递：失败后按平台的重试间隔（15 秒 … 6 小时）重发同一条通知
  --time-scale N       重试间隔缩短为 1/N（1000：一天的重试约 87 秒）；给出即按平台投递
  --saved-settings     商户号、AppID、APIv3 密钥取窗口“接入设置”里保存的
  --pay-certificate    在标准输出上打印平台证书（PEM），标准错误上打印其序列号
  --timeout S、--cacert 文件、--json、-v  同上
判定：200、204 为成功；4xx、5xx 为失败，正文应为 {"code":"FAIL","message":"…"}；超过 5 秒为超时。

Payment notifications (--platform pay): Veltrane plays the payment platform and sends an API v3
notification, its resource sealed with the APIv3 key (AEAD_AES_256_GCM), its Wechatpay-* headers
signed with Veltrane's own platform key (never a real platform's): point the endpoint's SDK at
Veltrane's certificate. --sample one of %1; --set path=value (repeatable) changes the resource
before it is sealed; --probe sends a wrongly signed probe, --probe-key a resource sealed under
another key: both must be refused. --deliver retries a refused notification on the
platform's schedule (15 s … 6 h); --time-scale N (implies --deliver) runs it N times faster.
--saved-settings takes the merchant id, AppID and APIv3 key the window saved; --json as above. --pay-certificate prints the certificate (PEM),
its serial number on standard error. The APIv3 key may come from VELTRANE_APIV3_KEY.
)"_s.arg(paySampleNames().join(u", "_s));
}
