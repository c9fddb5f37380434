#include "stress_test_entry.h"

#include "form1.h"
#include "stress_test_window.h"
#include "toolkit/text_boxes.h"

#include <QAction>

StressTestEntry::StressTestEntry(Form1 &mainWindow, const QString &samplesFolder, QObject *parent)
    : QObject(parent)
    , mainWindow_(mainWindow)
    , samplesFolder_(samplesFolder)
    , action_(new QAction(QStringLiteral("压力测试…"), this))
{
    action_->setObjectName(QStringLiteral("stressTest"));
    action_->setToolTip(QStringLiteral("按固定速率向接收端连续推送，画出每秒答复数和答复时间"));
    connect(action_, &QAction::triggered, this, [this] {
        StressTestWindow &shown = window();
        shown.show();
        shown.raise();
        shown.activateWindow();
    });
}

StressTestEntry::~StressTestEntry() = default;

StressTestWindow &StressTestEntry::window()
{
    if (!window_) {
        window_ = std::make_unique<StressTestWindow>([this] {
            return StressTestWindow::Target{mainWindow_.Text1()->text(), mainWindow_.accessSettings(),
                                            mainWindow_.Text2()->text()};
        });
        if (!samplesFolder_.isEmpty())
            window_->setSamplesFolder(samplesFolder_);
        window_->offerSamples(mainWindow_.accessSettings().platform);
        connect(&mainWindow_, &Form1::accessSettingsChanged, window_.get(),
                [this](const AccessSettings &settings) { window_->offerSamples(settings.platform); });
    }
    return *window_;
}
