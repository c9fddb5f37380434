#include "program_main.h"

#include "access_settings_store.h"
#include "exchange_actions.h"
#include "form1.h"
#include "main_window_menu.h"
#include "program_options.h"
#include "toolkit/message_box.h"
#include "toolkit/one_heap.h"

#include <QApplication>

#include <cstdio>

int runProgram(int argc, char *argv[], const std::function<void(QWidget &mainWindow)> &beforeShow)
{
    useOneHeap();
    QApplication app(argc, argv);
    // Name the configuration folder the access settings are saved in.
    QCoreApplication::setOrganizationName(QStringLiteral("Veltrane"));
    QCoreApplication::setApplicationName(QStringLiteral("veltrane"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VELTRANE_VERSION));

    const AccessSettings saved = loadAccessSettings();
    const ProgramOptions options = parseProgramOptions(QCoreApplication::arguments(), saved);
    if (options.exitStatus) {
        std::fputs(options.toStdout.toLocal8Bit().constData(), stdout);
        std::fputs(options.toStderr.toLocal8Bit().constData(), stderr);
        return *options.exitStatus;
    }

    ProgramWideWindow<Form2> resultWindow;
    Form1 form(resultWindow);
    form.setAccessSettings(options.overrides.over(saved));
    ExchangeActions exchanges(form, resultWindow, createNetworkRequest, [&form] { return form.accessSettings(); });
    form.contextMenu().addActions(exchanges.mainWindowActions());
    form.contextMenu().addXmlBoxMenu(exchanges.moreSamplesMenu());
    QObject::connect(&form, &Form1::posted, &exchanges, &ExchangeActions::record);
    // Only what the user accepts in the dialog is saved; the command line's
    // settings hold for this run.
    QObject::connect(&form, &Form1::accessSettingsEdited, &form, [&form](const AccessSettings &settings) {
        if (const auto problem = saveAccessSettings(settings))
            showMessage(&form, *problem);
    });
    if (beforeShow)
        beforeShow(form);
    form.show();
    return app.exec();
}
