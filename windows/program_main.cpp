#include "program_main.h"

#include "access_settings_store.h"
#include "program_options.h"
#include "program_windows.h"
#include "toolkit/text_boxes.h"
#include "toolkit/qt_translations.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib> // defines __GLIBC__ where it is glibc

#if defined(__GLIBC__)
#include <malloc.h>
#endif

int runProgram(int argc, char *argv[], const std::function<void(QWidget &mainWindow)> &beforeShow)
{
#if defined(__GLIBC__)
    // One heap for every thread, so that what a large answer took on the
    // exchange's thread goes back to the system once freed (before any thread starts).
    mallopt(M_ARENA_MAX, 1);
#endif
    QApplication app(argc, argv);
    // Name the configuration folder the access settings are saved in.
    QCoreApplication::setOrganizationName(QStringLiteral("Veltrane"));
    QCoreApplication::setApplicationName(QStringLiteral("veltrane"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VELTRANE_VERSION));
    loadQtChineseTranslations(app);

    const AccessSettings saved = loadAccessSettings();
    const ProgramOptions options = parseProgramOptions(QCoreApplication::arguments(), saved);
    if (options.exitStatus) {
        std::fputs(options.toStdout.toLocal8Bit().constData(), stdout);
        std::fputs(options.toStderr.toLocal8Bit().constData(), stderr);
        return *options.exitStatus;
    }

    ProgramWindows windows(saved, options.overrides, options.start.samplesFolder);
    if (options.start.any()) {
        MultiLineTextBox *xmlBox = windows.mainWindow().Text2();
        const SampleText push =
            startingPushText(options.start, xmlBox->text(), options.overrides.over(saved));
        if (!push.ok()) {
            std::fprintf(stderr, "veltrane: %s\n", push.problem.toLocal8Bit().constData());
            return 2;
        }
        xmlBox->replaceText(push.text);
    }
    if (beforeShow)
        beforeShow(windows.mainWindow());
    windows.mainWindow().show();
    return app.exec();
}
