#include "form1.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    ProgramWideWindow<Form2> resultWindow;
    Form1 form(resultWindow);
    form.show();
    return app.exec();
}
