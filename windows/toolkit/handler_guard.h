#pragma once

#include <functional>

class QWidget;

// Runs an event handler. A failure that leaves it is reported to the user in a
// message box and the program goes on, with every box as it was.
void runHandler(QWidget *owner, const std::function<void()> &handler);
