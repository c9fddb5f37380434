#pragma once

#include "platform/access_settings.h"
#include "post_options.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <optional>
#include <variant>

// What one run of `veltrane-post --platform pay` was asked to do: send a
// payment notification as the payment platform does.
struct PayOptions {
    QString url;
    QString sample = QStringLiteral("transaction.success");
    QStringList assignments;           // --set path=value, in order
    AccessSettings access;             // mchId, appId, apiV3Key
    bool signatureProbe = false;       // --probe
    bool wrongKeyProbe = false;        // --probe-key
    bool printCertificate = false;     // --pay-certificate
    bool deliver = false;              // --deliver (or --time-scale): a refused notification retried on the platform's schedule
    double timeScale = 1;              // --time-scale: that schedule this much faster
    bool savedSettings = false;        // --saved-settings: mchid, appid and the APIv3 key as the window saved them
    bool json = false;                 // --json: one JSON line per sending on standard output
    std::chrono::milliseconds stallTimeout{30'000};
    QString caFile;
    bool verbose = false;
    bool help = false;
};

struct PayUsageError {
    QString reason;
};

// Whether the command line asks for the payment platform: --platform pay,
// or --saved-settings without --platform when the window was saved on 微信支付.
bool asksForPay(const QStringList &arguments, const SettingSources &sources = {});

// The arguments after the program's name. What the options leave out comes
// from the environment (VELTRANE_APIV3_KEY), then, with --saved-settings,
// from what the window saved, as for the other families.
std::variant<PayOptions, PayUsageError> parsePayOptions(const QStringList &arguments, const SettingSources &sources = {});
