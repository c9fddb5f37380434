#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class Form1;
class QAction;

// "设置字段…" in the XML box's menu: the box's push with one field set, as
// --set NAME=VALUE sets it on the command line (in its CDATA section, added
// when missing, a JSON key path). A field that does not fit is asked again
// with what was typed, and the box keeps what it holds; Ctrl+Z undoes a set.
class XmlBoxFieldEdit : public QObject {
    Q_OBJECT
public:
    // NAME=VALUE, asked with this prompt and what was typed before; none: cancelled.
    using Asker = std::function<std::optional<QString>(const QString &prompt, const QString &typed)>;
    using MessageShower = std::function<void(const QString &message)>;

    explicit XmlBoxFieldEdit(Form1 &mainWindow, QObject *parent = nullptr);

    QAction *action() const { return action_; }

    // Test seams; the defaults are Qt's input dialog and a message box.
    void setAsker(Asker asker) { ask_ = std::move(asker); }
    void setMessageShower(MessageShower shower) { showMessage_ = std::move(shower); }

public slots:
    void setField();

private:
    Form1 &mainWindow_;
    QAction *const action_;
    Asker ask_;
    MessageShower showMessage_;
    QString lastTyped_; // offered again next time: the same field, another value
};
