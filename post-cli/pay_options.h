#pragma once

#include "platform/access_settings.h"

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
    std::optional<double> timeScale;   // --time-scale: retry as the platform does, this much faster
    std::chrono::milliseconds stallTimeout{30'000};
    QString caFile;
    bool verbose = false;
    bool help = false;
};

struct PayUsageError {
    QString reason;
};

// Whether the command line asks for the payment platform (--platform pay).
bool asksForPay(const QStringList &arguments);

// The arguments after the program's name; `environment` gives a variable's
// value (VELTRANE_APIV3_KEY), empty when unset.
std::variant<PayOptions, PayUsageError> parsePayOptions(const QStringList &arguments,
                                                        const std::function<QString(const char *)> &environment = {});
