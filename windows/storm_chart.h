#pragma once

#include "platform/storm_figures.h"

#include <QChartView>

class QLineSeries;
class QValueAxis;

// The run drawn second by second: answers per second on the left axis,
// the p50 and p95 answer time in milliseconds on the right.
class StormChart : public QChartView {
    Q_OBJECT
public:
    explicit StormChart(QWidget *parent = nullptr);

    void showSeconds(const QList<StormSecond> &seconds);
    void clear() { showSeconds({}); }

    QLineSeries *answers() const { return answers_; }
    QLineSeries *p50() const { return p50_; }
    QLineSeries *p95() const { return p95_; }

private:
    QLineSeries *const answers_;
    QLineSeries *const p50_;
    QLineSeries *const p95_;
    QValueAxis *const time_;
    QValueAxis *const count_;
    QValueAxis *const ms_;
};
