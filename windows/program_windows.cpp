#include "program_windows.h"

#include "access_settings_store.h"
#include "main_window_menu.h"
#include "toolkit/message_box.h"

ProgramWindows::ProgramWindows(const AccessSettings &settings)
    : form_(results_)
    , exchanges_(form_, results_, createNetworkRequest, [this] { return form_.accessSettings(); })
{
    form_.setAccessSettings(settings);
    form_.contextMenu().addActions(exchanges_.mainWindowActions());
    form_.contextMenu().addXmlBoxMenu(exchanges_.moreSamplesMenu());
    QObject::connect(&form_, &Form1::posted, &exchanges_, &ExchangeActions::record);
    // Only what the user accepts in the dialog is saved; the command line's
    // settings hold for this run.
    QObject::connect(&form_, &Form1::accessSettingsEdited, &form_, [this](const AccessSettings &edited) {
        if (const auto problem = saveAccessSettings(edited))
            showMessage(&form_, *problem);
    });
}
