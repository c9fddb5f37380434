#include "pay_probe_actions.h"

#include "exchange_actions.h"
#include "http/post_failure.h"
#include "pay/pay_post.h"
#include "toolkit/busy_cursor.h"
#include "toolkit/handler_guard.h"
#include "toolkit/message_box.h"
#include "toolkit/text_boxes.h"

#include <QAction>

namespace {

// The probes carry an ordinary payment: what they test is the signature and the key.
const QString kProbeSample = QStringLiteral("transaction.success");

} // namespace

PayProbeActions::PayProbeActions(Form1 &mainWindow, ExchangeActions &exchanges, PostRequestFactory createRequest,
                                 QObject *parent)
    : QObject(parent)
    , mainWindow_(mainWindow)
    , exchanges_(exchanges)
    , wait_(mainWindow, std::move(createRequest))
    , loadKey_([] { return payPlatformKey(payPlatformKeyFile()); })
    , signatureProbe_(new QAction(QStringLiteral("发送验签探测"), this))
    , wrongKeyProbe_(new QAction(QStringLiteral("发送错误密钥探测"), this))
{
    signatureProbe_->setObjectName(QStringLiteral("paySignatureProbe"));
    signatureProbe_->setToolTip(QStringLiteral("签名错误的支付通知，接收端应拒绝"));
    wrongKeyProbe_->setObjectName(QStringLiteral("payWrongKeyProbe"));
    wrongKeyProbe_->setToolTip(QStringLiteral("签名正确、但用另一个 APIv3 密钥加密的支付通知，接收端应拒绝"));
    connect(signatureProbe_, &QAction::triggered, this, [this] {
        runHandler(&mainWindow_, [this] { post(PayNotificationKind::SignatureProbe); });
    });
    connect(wrongKeyProbe_, &QAction::triggered, this, [this] {
        runHandler(&mainWindow_, [this] { post(PayNotificationKind::WrongKeyProbe); });
    });
    connect(&mainWindow_, &Form1::accessSettingsChanged, this, &PayProbeActions::followAccessSettings);
    followAccessSettings();
}

void PayProbeActions::followAccessSettings()
{
    const bool pay = mainWindow_.accessSettings().platform == Platform::Pay;
    signatureProbe_->setVisible(pay);
    wrongKeyProbe_->setVisible(pay);
}

void PayProbeActions::post(PayNotificationKind kind)
{
    const AccessSettings access = mainWindow_.accessSettings();
    const QString url = mainWindow_.Text1()->text();
    if (wait_.underWay() || access.platform != Platform::Pay)
        return;
    if (url.size() < 5) {
        showMessage(&mainWindow_, QStringLiteral("请设置好域名或者API地址需要输入http://"));
        return;
    }
    const std::optional<PaySample> sample = findPaySample(kProbeSample);
    if (!sample)
        return;
    const MainWindowWait::Hold held(wait_);
    PayPostOutcome outcome;
    {
        const BusyCursor busy;
        try {
            const PayPlatformKey key = loadKey_();
            const QDateTime now = QDateTime::currentDateTime();
            const PayNotification notification = makePayNotification(
                *sample, paySampleResource(*sample, access, now), access.apiV3Key.toUtf8(), now, kind);
            outcome = postPayNotification(url, notification, key, wait_.requests(access.caFile));
        } catch (const PostFailure &failure) {
            // Nothing was sent: the key or libcrypto failed before the post.
            mainWindow_.showAccessHint();
            showMessage(&mainWindow_, QStringLiteral("探测没有发出：%1").arg(failure.description()));
            return;
        }
    }
    // Listed and judged as a post; the result window keeps the answer it shows.
    const PushPostOutcome judged{outcome.record, {}, {}, outcome.verdict};
    exchanges_.window().add(JournalEntry{outcome.record, outcome.verdict, 0, 0, {}, 0, false});
    mainWindow_.showVerdict(judged);
}
