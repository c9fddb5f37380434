// The program's start as main() makes it, ended once the main window has
// been painted for the first time.
#include "first_paint_exit.h"
#include "form1.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    ProgramWideWindow<Form2> resultWindow;
    Form1 form(resultWindow);
    const FirstPaintExit exit(&form);
    form.show();
    return app.exec();
}
