#pragma once

#include <QIcon>

// The icon both windows show, built into the program.
QIcon programIcon();
