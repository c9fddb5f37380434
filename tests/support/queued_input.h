#pragma once

class QWidget;

// Input the way a user's hardware makes it: put in the window system's event
// queue, as the platform puts a real click, and delivered when the program's
// event loop next takes user input, not at once as QTest delivers it. A loop
// run with QEventLoop::ExcludeUserInputEvents holds it back until it ends.
//
// Made through Qt's platform interface, which is no public API: where this
// build could not link it, queuedInputAvailable() is false and a test skips.
bool queuedInputAvailable();

// Queues a press and a release of the left button at the widget's centre.
void queueClick(QWidget *widget);
