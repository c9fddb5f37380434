#pragma once

#include <QWidget>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

// The exchange window's line for the history: the search box, 更早的,
// 导出为 HAR…, 从 HAR 导入…, 清空记录, and what is wrong with the history file, if anything.
class HistoryBar : public QWidget {
    Q_OBJECT
public:
    explicit HistoryBar(QWidget *parent = nullptr);

    QString search() const;
    void setMoreOlder(bool more);
    // Why the history is not being kept; empty: it is, and nothing is shown.
    void showProblem(const QString &problem);

    // The user's yes to emptying the history; tests answer it themselves.
    std::function<bool(QWidget *parent)> confirmClear;
    // Where a HAR file goes, empty: nowhere; tests answer it themselves.
    std::function<QString(QWidget *parent)> chooseHarFile;
    // Which HAR file to read, empty: none; tests answer it themselves.
    std::function<QString(QWidget *parent)> chooseHarToImport;

public slots:
    // Asks for a HAR file to import; a file chosen is told by importWanted.
    void askImport();

signals:
    void searchChanged(const QString &search);
    void olderWanted();
    void clearConfirmed();
    // All: every exchange the search finds; else the ones selected.
    void exportWanted(const QString &file, bool all);
    void importWanted(const QString &file);

private:
    QLineEdit *const search_;
    QPushButton *const older_;
    QPushButton *const export_;
    QPushButton *const import_;
    QPushButton *const clear_;
    QLabel *const problem_;
};
