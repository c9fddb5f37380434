#include "xml_box_field_edit.h"

#include "form1.h"
#include "toolkit/handler_guard.h"
#include "toolkit/message_box.h"
#include "toolkit/text_boxes.h"
#include "xml/push_field_set.h"

#include <QAction>
#include <QInputDialog>

using namespace Qt::Literals::StringLiterals;

XmlBoxFieldEdit::XmlBoxFieldEdit(Form1 &mainWindow, QObject *parent)
    : QObject(parent)
    , mainWindow_(mainWindow)
    , action_(new QAction(u"设置字段…"_s, this))
{
    action_->setObjectName(u"setPushField"_s);
    connect(action_, &QAction::triggered, this, [this] { runHandler(&mainWindow_, [this] { setField(); }); });
    ask_ = [this](const QString &prompt, const QString &typed) -> std::optional<QString> {
        bool ok = false;
        const QString assignment =
            QInputDialog::getText(&mainWindow_, u"设置字段"_s, prompt, QLineEdit::Normal, typed, &ok);
        return ok ? std::optional(assignment) : std::nullopt;
    };
    showMessage_ = [this](const QString &message) { showMessage(&mainWindow_, message); };
}

void XmlBoxFieldEdit::setField()
{
    const QString prompt = u"名称=值，例如 Content=退订；嵌套的字段用点号连接（ScanCodeInfo.ScanType=qrcode）："_s;
    for (;;) {
        const std::optional<QString> asked = ask_(prompt, lastTyped_);
        if (!asked)
            return;
        lastTyped_ = *asked;
        QString push = mainWindow_.Text2()->text();
        if (const std::optional<QString> misfit = setPushField(push, *asked)) {
            showMessage_(*misfit);
            continue;
        }
        mainWindow_.Text2()->replaceText(push);
        return;
    }
}
