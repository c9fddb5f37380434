#pragma once

#include <QByteArray>
#include <QDialog>
#include <QList>
#include <QString>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

// "从 HAR 导入": the POST requests of one HAR file, one row each, the chosen
// one's body beneath, and the two ways to send it again. It only lists and
// asks; the owner sends, and the dialog stays open for the next one.
class HarImportDialog : public QDialog {
    Q_OBJECT
public:
    // One POST request of the file, as the list shows it.
    struct Row {
        int entry = 0;       // its place among the file's entries, from 0
        QString started;     // as recorded, or empty
        QString url;
        long status = 0;     // the recorded answer's; 0: none
        QByteArray body;
    };

    explicit HarImportDialog(QWidget *parent = nullptr);

    void setFile(const QString &file, const QList<Row> &rows);
    QString file() const { return file_; }
    // The row chosen; -1: none.
    int chosenEntry() const;
    void chooseEntry(int entry);
    // The address typed to send to instead of the recorded one; empty: the recorded one.
    QString urlTyped() const;
    // What became of the last send, in one line.
    void showNote(const QString &note);

signals:
    void sendWanted(int entry, bool resign, const QString &url);

private:
    void showChosen();

    QLabel *const source_;
    QTableWidget *const entries_;
    QPlainTextEdit *const body_;
    QLineEdit *const url_;
    QLabel *const note_;
    QPushButton *const asRecorded_;
    QPushButton *const resigned_;
    QString file_;
    QList<Row> rows_;
};
