#include "program_windows.h"

#include "access_settings_store.h"
#include "main_window_menu.h"
#include "pay_key_warmup.h"
#include "pay_probe_actions.h"
#include "pay_retry_dialog.h"
#include "platform_delivery_entry.h"
#include "stress_test_entry.h"
#include "platform/user_samples.h"
#include "recent_endpoints.h"
#include "toolkit/text_boxes.h"
#include "xml_box_field_edit.h"
#include "xml_box_files.h"
#include "toolkit/message_box.h"

ProgramWindows::ProgramWindows(const AccessSettings &saved, const AccessOverrides &commandLine,
                               const QString &samplesFolder)
    : form_(results_)
    , exchanges_(form_, results_, createNetworkRequest, [this] { return form_.accessSettings(); })
    , saved_(saved)
{
    exchanges_.keepHistoryIn(ExchangeHistory::defaultFile());
    const QString samples = samplesFolder.isEmpty() ? userSamplesFolder() : samplesFolder;
    form_.setCommandLineSettings(commandLine);
    form_.setAccessSettings(commandLine.over(saved));
    form_.contextMenu().addActions(exchanges_.mainWindowActions());
    form_.contextMenu().addActions((new PayProbeActions(form_, exchanges_, createNetworkRequest, &form_))->actions());
    form_.contextMenu().addActions(
        {form_.deliveryEntry().action(), (new StressTestEntry(form_, samples, &form_))->action()});
    new PayRetryDialog(form_, exchanges_); // a child of the main window, shown by 模拟平台重试 on 微信支付
    warmPayPlatformKeyFor(form_);
    form_.contextMenu().addXmlBoxMenu(exchanges_.moreSamplesMenu());
    QObject::connect(&form_, &Form1::posted, &exchanges_, &ExchangeActions::record);
    auto *files = new XmlBoxFiles(form_, exchanges_.moreSamplesMenu(), samples, &form_);
    form_.contextMenu().addXmlBoxActions(files->actions());
    form_.contextMenu().addXmlBoxActions({(new XmlBoxFieldEdit(form_, &form_))->action()});
    auto *recent = new RecentEndpoints(form_.Text1(), accessSettingsFile(), &form_);
    form_.contextMenu().addEndpointBoxMenu(recent->menu());
    QObject::connect(&form_, &Form1::posted, recent, [this, recent] { recent->remember(form_.Text1()->text()); });
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
