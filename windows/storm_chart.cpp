#include "storm_chart.h"

#include <QChart>
#include <QLineSeries>
#include <QValueAxis>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

StormChart::StormChart(QWidget *parent)
    : QChartView(parent)
    , answers_(new QLineSeries)
    , p50_(new QLineSeries)
    , p95_(new QLineSeries)
    , time_(new QValueAxis)
    , count_(new QValueAxis)
    , ms_(new QValueAxis)
{
    setObjectName(u"stormChart"_s);
    setRenderHint(QPainter::Antialiasing);
    setMinimumSize(420, 240);
    // The view made a chart of its own; filling that one keeps it owned by
    // the view (setChart would orphan it).
    QChart *chart = this->chart();
    chart->setTitle(u"每秒答复数与答复时间"_s);
    // The legend names each line's axis: a vertical axis title stands its
    // Chinese characters on their side.
    answers_->setName(u"每秒答复数（左轴，次）"_s);
    p50_->setName(u"P50（右轴，毫秒）"_s);
    p95_->setName(u"P95（右轴，毫秒）"_s);
    time_->setTitleText(u"秒"_s);
    time_->setLabelFormat(u"%d"_s);
    count_->setLabelFormat(u"%d"_s);
    ms_->setLabelFormat(u"%d"_s);
    chart->addAxis(time_, Qt::AlignBottom);
    chart->addAxis(count_, Qt::AlignLeft);
    chart->addAxis(ms_, Qt::AlignRight);
    for (QLineSeries *series : {answers_, p50_, p95_}) {
        chart->addSeries(series);
        series->attachAxis(time_);
        series->attachAxis(series == answers_ ? count_ : ms_);
    }
    clear();
}

void StormChart::showSeconds(const QList<StormSecond> &seconds)
{
    QList<QPointF> answers, p50, p95;
    // Ranges of at least 4 keep the nice ticks on whole numbers, which the
    // %d labels show (0..1 would read 0 0 0 0 1).
    double lastSecond = 4, mostAnswers = 4, slowest = 4;
    for (const StormSecond &second : seconds) {
        answers.append({double(second.second), double(second.answered)});
        // A second without an answer has no answer time: a gap, not a zero.
        if (second.p50Ms >= 0) {
            p50.append({double(second.second), second.p50Ms});
            p95.append({double(second.second), second.p95Ms});
        }
        lastSecond = std::max(lastSecond, double(second.second));
        mostAnswers = std::max(mostAnswers, double(second.answered));
        slowest = std::max(slowest, second.p95Ms);
    }
    answers_->replace(answers);
    p50_->replace(p50);
    p95_->replace(p95);
    time_->setRange(0, lastSecond);
    count_->setRange(0, mostAnswers * 1.1);
    ms_->setRange(0, slowest * 1.1);
    for (QValueAxis *axis : {time_, count_, ms_})
        axis->applyNiceNumbers();
}
