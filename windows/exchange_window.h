#pragma once

#include "exchange_list_model.h"

#include <QWidget>

#include <functional>
#include <optional>

class ExchangeHistory;
class HistoryBar;
class QCheckBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QMenu;
class MultiLineTextBox;
class QPushButton;
class QSplitter;
class QTableView;

// "交互记录": the exchanges of this and earlier runs, newest first, and the one selected
// seen whole: the request as sent, the answer as received, the timings and
// the platform's verdict. It only shows; nothing in it waits or asks.
class ExchangeWindow : public QWidget {
    Q_OBJECT
public:
    explicit ExchangeWindow(QWidget *parent = nullptr);

    // Lists the history's newest 200 and keeps every exchange added in it.
    void useHistory(ExchangeHistory &history);
    HistoryBar &historyBar() const { return *historyBar_; }
    // The list's context menu, opened on a right click; owners add to it.
    QMenu &listMenu() const { return *listMenu_; }

    // Keeps the exchange in the history and, when the search finds it,
    // lists it first; the newest is selected unless the user is looking at
    // an older one. Returns its serial, 0 when the search leaves it out.
    quint64 add(JournalEntry entry);
    int newGroup() { return model_->newGroup(); }
    const ExchangeListModel &model() const { return *model_; }

    // The entry selected, or none.
    const JournalEntry *selectedEntry() const;
    void selectRow(int row);
    // The size it opens at where the screen has room.
    static constexpr QSize kWantedSize{1000, 700};

    // Selects the entry with this serial; false when it is no longer listed.
    bool selectSerial(quint64 serial);

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showSelected();
    void showSummary(const QString &summary);
    void copyCurlCommand();
    QString groupNote(const JournalEntry &entry) const;
    void listFromHistory();
    void listOlder();
    void clearHistory();
    void exportHar(const QString &file, bool all);


    ExchangeListModel *const model_;
    QTableView *const list_;
    QLabel *const summary_;
    QString wholeSummary_; // summary_ shows it elided to its width
    QCheckBox *const hex_;
    QPushButton *const copyCurl_;
    QLabel *const copied_;
    MultiLineTextBox *const request_;
    QGroupBox *const requestBox_;
    MultiLineTextBox *const answer_;
    QGroupBox *const answerBox_;
    QLabel *const timings_;
    QListWidget *const verdict_;
    // The selection changed while the window was hidden: shown once it is.
    bool selectionUnshown_ = false;
    HistoryBar *const historyBar_;
    QMenu *const listMenu_;
    ExchangeHistory *history_ = nullptr;
};

// The curl command that sends the entry's first request again, byte for
// byte, or nothing when its bytes are not all kept (never sent, or cut).
std::optional<QString> curlCommandFor(const JournalEntry &entry);
