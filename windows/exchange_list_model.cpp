#include "exchange_list_model.h"

#include <QColor>

namespace {

// Readable on a light background; the word beside the mark carries the
// meaning for those who cannot tell the colours apart.
const QColor kPassColour(0x1b, 0x7f, 0x3b);
const QColor kWarnColour(0xa8, 0x5d, 0x00);
const QColor kFailColour(0xc6, 0x28, 0x28);

QString statusText(const ExchangeRecord &record)
{
    if (record.cancelled)
        return QStringLiteral("已取消");
    if (record.failure)
        return QStringLiteral("失败：") + record.failure->description.section(QLatin1Char('\n'), 0, 0);
    if (record.status() == 0)
        return QStringLiteral("—");
    return QString::number(record.status());
}

} // namespace

QString verdictMarkText(VerdictMark mark)
{
    switch (mark) {
    case VerdictMark::Pass:
        return QStringLiteral("✔ 通过");
    case VerdictMark::Warn:
        return QStringLiteral("⚠ 注意");
    case VerdictMark::Fail:
        return QStringLiteral("✘ 不通过");
    case VerdictMark::None:
        break;
    }
    return QStringLiteral("—");
}

QColor verdictMarkColour(VerdictMark mark)
{
    switch (mark) {
    case VerdictMark::Pass:
        return kPassColour;
    case VerdictMark::Warn:
        return kWarnColour;
    case VerdictMark::Fail:
        return kFailColour;
    case VerdictMark::None:
        break;
    }
    return {};
}

static VerdictMark markOf(const VerdictLine &line)
{
    switch (line.outcome) {
    case VerdictLine::Pass:
        return VerdictMark::Pass;
    case VerdictLine::Warn:
        return VerdictMark::Warn;
    case VerdictLine::Fail:
        return VerdictMark::Fail;
    }
    return VerdictMark::None;
}

QString verdictLineText(const VerdictLine &line)
{
    return verdictMarkText(markOf(line)) + QStringLiteral("　") + line.text;
}

QColor verdictLineColour(const VerdictLine &line)
{
    return verdictMarkColour(markOf(line));
}

ExchangeListModel::ExchangeListModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

quint64 ExchangeListModel::add(JournalEntry entry)
{
    // Once the user has paged back, what they paged to stays listed.
    if (journal_.limit() > ExchangeJournal::kKept)
        journal_.growBy(1);
    if (journal_.size() >= journal_.limit()) {
        const int last = int(journal_.size()) - 1;
        beginRemoveRows({}, last, last);
        journal_.dropOldest();
        endRemoveRows();
    }
    beginInsertRows({}, 0, 0);
    const quint64 serial = journal_.add(std::move(entry));
    endInsertRows();
    return serial;
}

void ExchangeListModel::addOlder(QList<JournalEntry> entries)
{
    if (entries.isEmpty())
        return;
    const int first = int(journal_.size());
    beginInsertRows({}, first, first + int(entries.size()) - 1);
    for (JournalEntry &entry : entries)
        journal_.addOlder(std::move(entry));
    endInsertRows();
}

void ExchangeListModel::clear()
{
    beginResetModel();
    journal_.clear();
    endResetModel();
}

int ExchangeListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(journal_.size());
}

int ExchangeListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ExchangeListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= journal_.size())
        return {};
    const JournalEntry &entry = journal_.at(index.row());
    const ExchangeRecord &record = entry.record;
    const VerdictMark mark = record.cancelled ? VerdictMark::None : verdictMark(entry.verdict);

    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case Time:
            return record.started.toString(QStringLiteral("HH:mm:ss"));
        case Method:
            return record.method;
        case Url:
            return record.url;
        case Status:
            return statusText(record);
        case Elapsed:
            return record.elapsedMs < 0 ? QStringLiteral("—") : QString::number(qRound64(record.elapsedMs));
        case AnswerSize:
            return entry.whole.answer.isEmpty() || record.status() == 0 ? QStringLiteral("—")
                                                                         : QString::number(entry.whole.answer.last());
        case Verdict:
            return record.cancelled ? QStringLiteral("—") : verdictMarkText(mark);
        case Retry:
            return entry.group ? QStringLiteral("%1/3").arg(entry.tryNumber) : QString();
        }
        break;
    case Qt::ToolTipRole:
        switch (index.column()) {
        case Time:
            return record.started.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
        case Url:
            return record.url;
        case Status:
            return record.failure ? record.failure->description : QVariant();
        case Retry:
            return entry.group ? QStringLiteral("模拟平台重试第 %1 组的第 %2 次").arg(entry.group).arg(entry.tryNumber)
                               : QVariant();
        }
        break;
    case Qt::AccessibleTextRole:
        if (index.column() == Verdict)
            return QStringLiteral("判定：") + (record.cancelled          ? QStringLiteral("已取消")
                                               : mark == VerdictMark::None ? QStringLiteral("无")
                                                                           : verdictMarkText(mark).section(QLatin1Char(' '), 1));
        break;
    case Qt::ForegroundRole:
        if (index.column() == Verdict && mark != VerdictMark::None)
            return verdictMarkColour(mark);
        if (index.column() == Status && record.failure && !record.cancelled)
            return kFailColour;
        break;
    case Qt::TextAlignmentRole:
        if (index.column() == Elapsed || index.column() == AnswerSize)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        break;
    }
    return {};
}

QVariant ExchangeListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case Time:
        return QStringLiteral("时间");
    case Method:
        return QStringLiteral("方法");
    case Url:
        return QStringLiteral("地址");
    case Status:
        return QStringLiteral("状态");
    case Elapsed:
        return QStringLiteral("耗时 (ms)");
    case AnswerSize:
        return QStringLiteral("应答字节");
    case Verdict:
        return QStringLiteral("判定");
    case Retry:
        return QStringLiteral("重试");
    }
    return {};
}
