#include "pay_key_warmup.h"

#include "form1.h"
#include "http/post_failure.h"
#include "pay/platform_key.h"

#include <QFileInfo>
#include <QtConcurrent/QtConcurrentRun>

namespace {

void warmIfPay(const AccessSettings &settings)
{
    if (settings.platform != Platform::Pay || QFileInfo::exists(payPlatformKeyFile()))
        return;
    // The pool's threads are waited for when the program ends. A failure
    // is left for the post to meet and report.
    (void)QtConcurrent::run([] {
        try {
            payPlatformKey(payPlatformKeyFile());
        } catch (const PostFailure &) {
        }
    });
}

} // namespace

void warmPayPlatformKeyFor(Form1 &mainWindow)
{
    QObject::connect(&mainWindow, &Form1::accessSettingsChanged, &mainWindow, &warmIfPay);
    warmIfPay(mainWindow.accessSettings());
}
