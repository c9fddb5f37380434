// The floor of a start: a bare Qt window of the main window's size showing
// Chinese text in the same (default) font, ended once first painted.
#include "first_paint_exit.h"

#include <QApplication>
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Veltrane"));
    window.resize(460, 336);
    auto *layout = new QVBoxLayout(&window);
    layout->addWidget(new QLabel(QStringLiteral("先点地址框填入接口地址，载入XML样例，再点PostXML发送"), &window));
    const FirstPaintExit exit(&window);
    window.show();
    return app.exec();
}
