#include "stress_test_window.h"

#include "platform/named_samples.h"
#include "platform/user_samples.h"
#include "platform/storm_figures.h"
#include "storm_chart.h"
#include "storm_runner.h"
#include "toolkit/message_box.h"
#include "toolkit/program_icon.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int kRedrawMs = 200;

// What a sample entry beyond the family's holds: the XML box, or a user's file.
const QString kXmlBoxEntry = u"xml-box"_s;

} // namespace

StressTestWindow::StressTestWindow(std::function<Target()> target, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , target_(std::move(target))
    , count_(new QSpinBox)
    , rate_(new QDoubleSpinBox)
    , sample_(new QComboBox)
    , start_(new QPushButton(u"开始"_s))
    , stop_(new QPushButton(u"停止"_s))
    , save_(new QPushButton(u"保存为 PNG…"_s))
    , progress_(new QLabel)
    , chart_(new StormChart)
    , summary_(new QPlainTextEdit)
    , runner_(new StormRunner(this))
    , redraw_(new QTimer(this))
    , samplesFolder_(userSamplesFolder())
{
    setWindowTitle(u"压力测试"_s);
    setWindowIcon(programIcon());
    setObjectName(u"stressTestWindow"_s);
    count_->setObjectName(u"count"_s);
    count_->setRange(1, 100'000);
    count_->setValue(100);
    rate_->setObjectName(u"rate"_s);
    rate_->setRange(0.1, 1000);
    rate_->setDecimals(1);
    rate_->setValue(10);
    sample_->setObjectName(u"sample"_s);
    start_->setObjectName(u"start"_s);
    stop_->setObjectName(u"stop"_s);
    save_->setObjectName(u"savePng"_s);
    progress_->setObjectName(u"progress"_s);
    summary_->setObjectName(u"summary"_s);
    summary_->setReadOnly(true);
    summary_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    summary_->setTabStopDistance(summary_->fontMetrics().horizontalAdvance(u' ') * 10);

    auto *settings = new QHBoxLayout;
    const auto labelled = [settings](const QString &caption, QWidget *control) {
        auto *label = new QLabel(caption);
        label->setBuddy(control);
        settings->addWidget(label);
        settings->addWidget(control);
    };
    labelled(u"次数(&N)："_s, count_);
    labelled(u"每秒(&R)："_s, rate_);
    labelled(u"样例(&S)："_s, sample_);
    sample_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    settings->addStretch();
    settings->addWidget(start_);
    settings->addWidget(stop_);

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(progress_, 1);
    bottom->addWidget(save_);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(settings);
    layout->addWidget(chart_, 3);
    layout->addWidget(summary_, 2);
    layout->addLayout(bottom);
    resize(760, 620);

    redraw_->setInterval(kRedrawMs);
    connect(redraw_, &QTimer::timeout, this, &StressTestWindow::redraw);
    connect(start_, &QPushButton::clicked, this, &StressTestWindow::startRun);
    connect(stop_, &QPushButton::clicked, runner_, &StormRunner::stop);
    connect(save_, &QPushButton::clicked, this, &StressTestWindow::savePng);
    connect(runner_, &StormRunner::postEnded, this, &StressTestWindow::postEnded);
    connect(runner_, &StormRunner::finished, this, &StressTestWindow::runFinishedWith);
    offerSamples(Platform::OfficialAccount);
    showRunning(false);
}

void StressTestWindow::offerSamples(Platform platform)
{
    const QString chosen = sample_->currentText();
    sample_->clear();
    sample_->addItems(sampleNames(platform));
    sample_->insertSeparator(sample_->count());
    sample_->addItem(u"XML 框中的正文"_s, kXmlBoxEntry);
    for (const UserSample &sample : userSamples(samplesFolder_))
        sample_->addItem(u"我的样例：%1"_s.arg(sample.name), sample.file);
    if (const int index = sample_->findText(chosen); index >= 0)
        sample_->setCurrentIndex(index);
}

void StressTestWindow::showRunning(bool running)
{
    start_->setEnabled(!running);
    stop_->setEnabled(running);
    for (QWidget *setting : {static_cast<QWidget *>(count_), static_cast<QWidget *>(rate_), static_cast<QWidget *>(sample_)})
        setting->setEnabled(!running);
}

void StressTestWindow::startRun()
{
    const Target target = target_();
    if (target.url.size() < 5) {
        progress_->setText(u"请先在主窗口填好接收端地址（需要输入 http://）"_s);
        return;
    }
    offerSamples(target.access.platform);
    StormOrder order;
    order.url = target.url;
    order.access = target.access;
    order.sampleName = sample_->currentText();
    if (const QString chosen = sample_->currentData().toString(); chosen == kXmlBoxEntry) {
        if (target.xmlBox.trimmed().isEmpty()) {
            progress_->setText(u"主窗口的 XML 框是空的：请先载入或输入要发送的正文"_s);
            return;
        }
        order.body = target.xmlBox;
    } else if (!chosen.isEmpty()) {
        const SampleText read = readSampleFile(chosen);
        if (!read.ok()) {
            progress_->setText(read.problem);
            return;
        }
        order.body = read.text;
    }
    order.count = count_->value();
    order.rate = rate_->value();
    if (!runner_->start(order))
        return;
    requested_ = order.count;
    requestedRate_ = order.rate;
    posts_.clear();
    chart_->clear();
    summary_->clear();
    progress_->setText(u"正在发送：0 / %1"_s.arg(requested_));
    showRunning(true);
    redraw_->start();
}

void StressTestWindow::postEnded(const StormPost &post)
{
    posts_.append(post);
    progress_->setText(u"正在发送：%1 / %2"_s.arg(posts_.size()).arg(requested_));
}

void StressTestWindow::redraw()
{
    // Posts end out of order; the figures are by when each was due.
    chart_->showSeconds(stormSeconds(posts_));
}

void StressTestWindow::runFinishedWith(const QList<StormPost> &posts)
{
    redraw_->stop();
    posts_ = posts;
    redraw();
    summary_->setPlainText(stormReport(posts, requested_, requestedRate_));
    progress_->setText(posts.size() < requested_ ? u"已停止：完成 %1 次，共 %2 次"_s.arg(posts.size()).arg(requested_)
                                                 : u"完成 %1 次"_s.arg(posts.size()));
    showRunning(false);
    emit runFinished();
}

void StressTestWindow::savePng()
{
    const QString file = !nextPngFile_.isEmpty()
        ? std::exchange(nextPngFile_, QString())
        : QFileDialog::getSaveFileName(this, u"保存为 PNG"_s, u"压力测试.png"_s, u"PNG 图片 (*.png)"_s);
    if (file.isEmpty())
        return;
    if (!chart_->grab().save(file, "PNG"))
        showMessage(this, u"无法保存 %1：请换一个可写的文件夹或文件名"_s.arg(file));
}

void StressTestWindow::closeEvent(QCloseEvent *event)
{
    // A storm nobody watches is not left running.
    runner_->stop();
    QWidget::closeEvent(event);
}
