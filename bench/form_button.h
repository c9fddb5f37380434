#pragma once

class Form1;
class QPushButton;

// The main window's button of that object name; the run fails without it.
QPushButton *button(Form1 &form, const char *name);
