#pragma once

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPoint>

class QMouseEvent;

// A click is a press and a release of the left button, both inside the box.
// Focus arriving by keyboard is no click.
class ClickDetector {
public:
    void press(const QMouseEvent *event);
    bool release(const QMouseEvent *event, const QRect &inside);

private:
    bool pressed_ = false;
};

class SingleLineTextBox : public QLineEdit {
    Q_OBJECT
public:
    explicit SingleLineTextBox(QWidget *parent = nullptr);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    ClickDetector click_;
};

// Qt's editor keeps paragraphs, not line breaks: the text goes in with any
// break (CR LF, LF or CR) and always comes back with CR LF between lines.
class MultiLineTextBox : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit MultiLineTextBox(QWidget *parent = nullptr);

    QString text() const;
    void setText(const QString &text);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    ClickDetector click_;
};
