#pragma once

#include <QObject>
#include <QString>

#include <memory>

class Form1;
class QAction;
class StressTestWindow;

// "压力测试…" in the main window's context menu: opens the one 压力测试
// window, which storms the main window's endpoint with its access settings.
class StressTestEntry : public QObject {
    Q_OBJECT
public:
    // The window offers the user's samples in `samplesFolder` (empty: their usual folder).
    explicit StressTestEntry(Form1 &mainWindow, const QString &samplesFolder = {}, QObject *parent = nullptr);
    ~StressTestEntry() override;

    QAction *action() const { return action_; }
    // Made on first use.
    StressTestWindow &window();

private:
    Form1 &mainWindow_;
    const QString samplesFolder_;
    QAction *const action_;
    std::unique_ptr<StressTestWindow> window_;
};
