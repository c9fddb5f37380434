#include "program_windows.h"

#include "access_settings_store.h"
#include "main_window_menu.h"
#include "toolkit/message_box.h"

ProgramWindows::ProgramWindows(const AccessSettings &saved, const AccessOverrides &commandLine)
    : form_(results_)
    , exchanges_(form_, results_, createNetworkRequest, [this] { return form_.accessSettings(); })
    , saved_(saved)
{
    exchanges_.keepHistoryIn(ExchangeHistory::defaultFile());
    form_.setCommandLineSettings(commandLine);
    form_.setAccessSettings(commandLine.over(saved));
    form_.contextMenu().addActions(exchanges_.mainWindowActions());
    form_.contextMenu().addXmlBoxMenu(exchanges_.moreSamplesMenu());
    QObject::connect(&form_, &Form1::posted, &exchanges_, &ExchangeActions::record);
    QObject::connect(&form_, &Form1::urlChecked, &exchanges_, &ExchangeActions::recordUrlCheck);
    // Only what the user changes in the dialog is saved; the command line's
    // settings left as they were hold for this run only.
    QObject::connect(&form_, &Form1::accessSettingsEdited, &form_, [this](const AccessSettings &edited) {
        const AccessEdit edit = applyAccessEdit(saved_, form_.commandLineSettings(), edited);
        form_.setCommandLineSettings(edit.overrides);
        const AccessSave save = saveAccessSettings(edit.saved);
        if (save.saved)
            saved_ = edit.saved;
        if (!save.message.isEmpty())
            showMessage(&form_, save.message);
    });
}
