#include "pay_retry_dialog.h"

#include "exchange_actions.h"
#include "http/post_failure.h"
#include "pay/pay_box_post.h"
#include "pay/pay_post.h"
#include "toolkit/busy_cursor.h"
#include "toolkit/message_box.h"
#include "toolkit/text_boxes.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTime>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The platform's day of retries at 1000 times its pace: under a minute and a half.
constexpr int kDefaultScale = 1000;
// When another exchange of the program is under way as a sending falls due.
constexpr std::chrono::milliseconds kPutOff{200};

// A wait as the user reads it: 87 毫秒, 15 秒, 1 分 27 秒, 24 小时 4 分.
QString durationText(std::chrono::milliseconds time)
{
    const qint64 ms = time.count();
    if (ms < 1000)
        return QStringLiteral("%1 毫秒").arg(ms);
    const qint64 seconds = (ms + 500) / 1000;
    if (seconds < 60)
        return QStringLiteral("%1 秒").arg(seconds);
    if (seconds < 3600)
        return seconds % 60 ? QStringLiteral("%1 分 %2 秒").arg(seconds / 60).arg(seconds % 60)
                            : QStringLiteral("%1 分").arg(seconds / 60);
    const qint64 minutes = (seconds + 30) / 60;
    return minutes % 60 ? QStringLiteral("%1 小时 %2 分").arg(minutes / 60).arg(minutes % 60)
                        : QStringLiteral("%1 小时").arg(minutes / 60);
}

// The first failure of the verdict, or that the endpoint took it.
QString sendingText(const QList<VerdictLine> &verdict)
{
    for (const VerdictLine &line : verdict) {
        if (line.outcome == VerdictLine::Fail)
            return QStringLiteral("✗ %1").arg(line.text);
    }
    return QStringLiteral("✓ 接收端收下了通知");
}

} // namespace

PayRetryDialog::PayRetryDialog(Form1 &mainWindow, ExchangeActions &exchanges, PostRequestFactory createRequest)
    : QDialog(&mainWindow)
    , mainWindow_(mainWindow)
    , exchanges_(exchanges)
    , wait_(mainWindow, std::move(createRequest))
    , loadKey_([] { return payPlatformKey(payPlatformKeyFile()); })
    , scale_(new QSpinBox(this))
    , total_(new QLabel(this))
    , status_(new QLabel(this))
    , start_(new QPushButton(QStringLiteral("开始"), this))
    , stop_(new QPushButton(QStringLiteral("停止"), this))
{
    setObjectName(QStringLiteral("payRetry"));
    setWindowTitle(QStringLiteral("模拟支付平台重试"));
    scale_->setObjectName(QStringLiteral("payRetryScale"));
    scale_->setRange(1, 1'000'000);
    scale_->setValue(kDefaultScale);
    scale_->setGroupSeparatorShown(true);
    scale_->setToolTip(QStringLiteral("1：与支付平台一样等（一天）；1000：一天的重试约 87 秒"));
    total_->setObjectName(QStringLiteral("payRetryTotal"));
    status_->setObjectName(QStringLiteral("payRetryStatus"));
    status_->setWordWrap(true);
    status_->setTextFormat(Qt::PlainText);
    status_->setMinimumWidth(status_->fontMetrics().averageCharWidth() * 56);
    status_->setText(QStringLiteral("把 XML 框中的 resource 作为一条支付通知发往接收端地址；"
                                    "失败后按支付平台的间隔（15 秒、15 秒、30 秒、3 分 … 6 小时）重发同一条通知，"
                                    "直到接收端收下。"));
    start_->setObjectName(QStringLiteral("payRetryStart"));
    start_->setDefault(true);
    stop_->setObjectName(QStringLiteral("payRetryStop"));
    stop_->setEnabled(false);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("时间缩短为 1/"), scale_);
    form->addRow(QString(), total_);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->addButton(start_, QDialogButtonBox::ActionRole);
    buttons->addButton(stop_, QDialogButtonBox::ActionRole);
    auto *whole = new QVBoxLayout(this);
    whole->addLayout(form);
    whole->addWidget(status_);
    whole->addWidget(buttons);

    next_.setSingleShot(true);
    connect(&next_, &QTimer::timeout, this, &PayRetryDialog::sendNext);
    connect(scale_, &QSpinBox::valueChanged, this, &PayRetryDialog::showTotal);
    connect(start_, &QPushButton::clicked, this, &PayRetryDialog::start);
    connect(stop_, &QPushButton::clicked, this, &PayRetryDialog::stop);
    connect(buttons, &QDialogButtonBox::rejected, this, &PayRetryDialog::reject);
    connect(&mainWindow_, &Window::closed, this, &QWidget::close);
    showTotal();
    // 模拟平台重试 comes here while the family is 微信支付; the entry may outlive the dialog.
    exchanges_.setPayRetry([dialog = QPointer<PayRetryDialog>(this)] {
        if (dialog)
            dialog->present();
    });
}

PayRetryDialog::~PayRetryDialog() = default;

void PayRetryDialog::showTotal()
{
    total_->setText(QStringLiteral("全部 15 次重试共等 %1（支付平台：%2）")
                        .arg(durationText(payRetryTotal(scale_->value())), durationText(payRetryTotal(1))));
}

void PayRetryDialog::present()
{
    show();
    raise();
    activateWindow();
}

void PayRetryDialog::start()
{
    const AccessSettings access = mainWindow_.accessSettings();
    const QString url = mainWindow_.Text1()->text();
    if (running() || access.platform != Platform::Pay)
        return;
    if (url.size() < 5) {
        showMessage(this, QStringLiteral("请设置好域名或者API地址需要输入http://"));
        return;
    }
    if (const std::optional<QString> problem = apiV3KeyProblem(access.apiV3Key)) {
        showMessage(this, QStringLiteral("%1。请在“接入设置”里改好再试。").arg(*problem));
        return;
    }
    try {
        const BusyCursor busy;
        key_ = loadKey_();
        // One notification for the whole course: its id and sealed resource never change.
        const QByteArray resource = mainWindow_.Text2()->text().toUtf8();
        notification_ = makePayNotificationFromText(paySampleForResource(resource), resource, access.apiV3Key.toUtf8(),
                                                    QDateTime::currentDateTime());
    } catch (const PostFailure &failure) {
        showMessage(this, QStringLiteral("没有发出：%1").arg(failure.description()));
        return;
    }
    url_ = url;
    caFile_ = access.caFile;
    course_.emplace(scale_->value());
    group_ = exchanges_.window().newGroup();
    exchanges_.showWindow();
    scale_->setEnabled(false);
    start_->setEnabled(false);
    stop_->setEnabled(true);
    sendNext();
}

void PayRetryDialog::sendNext()
{
    if (!running())
        return;
    // Never one exchange inside another's wait: the sending waits for it to end.
    if (WaitingLoop::anyWaiting()) {
        next_.start(kPutOff);
        return;
    }
    const int sending = course_->sendings() + 1;
    status_->setText(QStringLiteral("第 %1 次发送中…（按 Esc 放弃这一次）").arg(sending));
    // Held to the end of this sending: a close of the main window meanwhile is carried out then.
    const MainWindowWait::Hold held(wait_);
    PayPostOutcome outcome;
    {
        const BusyCursor busy;
        outcome = postPayNotification(url_, notification_, key_, wait_.requests(caFile_));
    }
    exchanges_.window().add(JournalEntry{outcome.record, outcome.verdict, group_, sending, {}, 0, false});
    const PushPostOutcome judged{outcome.record, outcome.record.answerText, {}, outcome.verdict};
    mainWindow_.showVerdict(judged);
    if (wait_.closeHeldBack()) {
        end(QStringLiteral("已停止。"));
        return;
    }
    if (!running()) // stopped while the sending was under way
        return;
    if (outcome.record.cancelled) {
        end(QStringLiteral("第 %1 次发送被放弃，已停止。").arg(sending));
        return;
    }
    const bool taken = payNotificationTaken(outcome.verdict);
    const QString sent = QStringLiteral("第 %1 次发送：%2").arg(sending).arg(sendingText(outcome.verdict));
    const std::optional<std::chrono::milliseconds> wait = course_->after(taken);
    if (wait) {
        const QTime at = QTime::currentTime().addMSecs(int(std::min<qint64>(wait->count(), 86'400'000)));
        status_->setText(QStringLiteral("%1\n第 %2 次将在 %3 后（%4）发送。")
                             .arg(sent)
                             .arg(sending + 1)
                             .arg(durationText(*wait), at.toString(QStringLiteral("HH:mm:ss"))));
        next_.start(*wait);
        return;
    }
    if (taken) {
        mainWindow_.showAnswer(judged);
        end(QStringLiteral("%1\n共发送 %2 次。").arg(sent).arg(sending));
    } else {
        end(QStringLiteral("%1\n支付平台重试 15 次后不再发送：共发送 %2 次，接收端始终没有收下。").arg(sent).arg(sending));
    }
}

void PayRetryDialog::stop()
{
    if (!running())
        return;
    if (wait_.underWay())
        wait_.giveUp(); // the sending under way ends at once, and is listed as given up
    end(QStringLiteral("已停止：共发送 %1 次。").arg(course_->sendings()));
}

void PayRetryDialog::end(const QString &status)
{
    next_.stop();
    course_.reset();
    status_->setText(status);
    scale_->setEnabled(true);
    start_->setEnabled(true);
    stop_->setEnabled(false);
    emit finished();
}

void PayRetryDialog::reject()
{
    stop();
    QDialog::reject();
}
