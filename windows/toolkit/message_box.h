#pragma once

#include <QString>

class QWidget;

// The title a message box shows when it is given none.
QString programTitle();

// A modal prompt with an OK button only; returns when the user has dismissed it.
void showMessage(QWidget *parent, const QString &prompt, const QString &title = programTitle());
