#pragma once

#include "platform/access_settings.h"
#include "platform/storm_run.h"

#include <QWidget>

#include <functional>

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTimer;
class StormChart;
class StormRunner;

// 压力测试: posts N pushes of a sample at R a second to the main window's
// endpoint, open loop as the platform pushes after a mass send, and draws the
// run as it goes; at the end the summary and alarms as veltrane-post prints them.
class StressTestWindow : public QWidget {
    Q_OBJECT
public:
    // Where to post and with what settings: the main window's, read at 开始.
    struct Target {
        QString url;
        AccessSettings access;
        QString xmlBox; // the main window's XML box, offered as a sample
    };
    explicit StressTestWindow(std::function<Target()> target, QWidget *parent = nullptr);

    QSpinBox *countBox() const { return count_; }
    QDoubleSpinBox *rateBox() const { return rate_; }
    QComboBox *sampleBox() const { return sample_; }
    QPushButton *startButton() const { return start_; }
    QPushButton *stopButton() const { return stop_; }
    QPushButton *saveButton() const { return save_; }
    StormChart *chart() const { return chart_; }
    QPlainTextEdit *summary() const { return summary_; }
    QLabel *progress() const { return progress_; }
    StormRunner &runner() const { return *runner_; }

    // A test's seam: the file the next 保存为 PNG… saves to, instead of asking.
    void setNextPngFile(const QString &file) { nextPngFile_ = file; }

    // The samples of the settings' family, then the XML box's text and the
    // user's own samples; the one chosen kept where it is offered.
    void offerSamples(Platform platform);
    void setSamplesFolder(const QString &folder) { samplesFolder_ = folder; }

signals:
    void runFinished();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void startRun();
    void postEnded(const StormPost &post);
    void runFinishedWith(const QList<StormPost> &posts);
    void redraw();
    void savePng();
    void showRunning(bool running);

    std::function<Target()> target_;
    QSpinBox *const count_;
    QDoubleSpinBox *const rate_;
    QComboBox *const sample_;
    QPushButton *const start_;
    QPushButton *const stop_;
    QPushButton *const save_;
    QLabel *const progress_;
    StormChart *const chart_;
    QPlainTextEdit *const summary_;
    StormRunner *const runner_;
    QTimer *const redraw_; // the chart redrawn a few times a second, not per post
    QList<StormPost> posts_;
    int requested_ = 0;
    double requestedRate_ = 0;
    QString nextPngFile_;
    QString samplesFolder_;
};
