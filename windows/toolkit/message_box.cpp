#include "message_box.h"

#include <QMessageBox>

QString programTitle()
{
    return QStringLiteral("Veltrane");
}

void showMessage(QWidget *parent, const QString &prompt, const QString &title)
{
    QMessageBox box(QMessageBox::NoIcon, title, prompt, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}
