#pragma once

#include "exchange_journal.h"

#include <QAbstractTableModel>

// The exchange window's list: the journal's entries, newest first, one row each.
class ExchangeListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Time, Method, Url, Status, Elapsed, AnswerSize, Verdict, Retry, ColumnCount };

    explicit ExchangeListModel(QObject *parent = nullptr);

    // Lists the entry first; the oldest row goes beyond the journal's length.
    quint64 add(JournalEntry entry);
    // Lists older entries (a page of the history) last.
    void addOlder(QList<JournalEntry> entries);
    void clear();
    int newGroup() { return journal_.newGroup(); }
    void groupsUsedUpTo(int group) { journal_.groupsUsedUpTo(group); }
    const ExchangeJournal &journal() const { return journal_; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    ExchangeJournal journal_;
};

// The verdict as a mark and a word, for the list and the details alike.
QString verdictMarkText(VerdictMark mark);
QColor verdictMarkColour(VerdictMark mark);
QString verdictLineText(const VerdictLine &line);
QColor verdictLineColour(const VerdictLine &line);
