#pragma once

#include "http/exchange_record.h"
#include "http/http_request.h"
#include "platform/access_settings.h"
#include "platform/verdict.h"

#include <QList>
#include <QString>

#include <optional>

// A push broken on purpose, as someone without the token would send it, that
// a sound endpoint refuses.
struct ForgedProbe {
    QString name;    // stable, for reports: "no-signature", "wrong-signature", ...
    QString caption; // in Chinese: what was broken
    // Whether accepting it is only a warning: a defence the platform's rules do not demand.
    bool acceptanceWarns = false;
};

// The probes for the settings' mode: no signature, a wrong signature, a day-old
// timestamp; in compatible and safe modes also a wrong msg_signature, an
// Encrypt changed by one byte and a message encrypted for another AppID.
// Needs a token; without one there is nothing to forge.
QList<ForgedProbe> forgedProbes(const AccessSettings &access);

// Why plain mode has no probe of a changed body, in Chinese; nothing in the other modes.
std::optional<QString> uncoveredBody(const AccessSettings &access);

// The post the probe sends: URL and body, built on the signing path with the
// current time and fresh random inputs, then broken as the probe says.
struct ForgedPost {
    QString url;
    QString body;
};
ForgedPost forgePost(const ForgedProbe &probe, const QString &url, const QString &push, const AccessSettings &access);

// What the endpoint made of a forged post.
struct ForgedJudgement {
    VerdictLine::Outcome outcome = VerdictLine::Pass;
    QString text; // in Chinese: what came back and what it means
};

// Refused (an error status, or a body that says so): pass. A passive reply:
// the endpoint processed it, a failure (a warning for a probe whose
// acceptance only warns). Empty or "success": cannot be told from
// acceptance, a warning.
ForgedJudgement judgeForgedAnswer(const ForgedProbe &probe, const ExchangeRecord &record);

// Sends the probe and judges the answer.
struct ForgedOutcome {
    ForgedPost post;
    ExchangeRecord record;
    ForgedJudgement judgement;
};
ForgedOutcome sendForged(const ForgedProbe &probe, const QString &url, const QString &push, const AccessSettings &access,
                         const HttpRequestFactory &createRequest = createHttpRequest);
