#pragma once

#include <functional>

class QWidget;

// Runs an event handler. A failure that leaves it is reported to the user in a
// message box and the program goes on, with every box as it was. A post the
// user gave up is no failure to report.
void runHandler(QWidget *owner, const std::function<void()> &handler);
