#pragma once

#include "platform/access_settings.h"
#include "http/exchange_record.h"

#include <QList>
#include <QString>

// One point of the platform's judgement of an answer.
struct VerdictLine {
    enum Outcome { Pass, Warn, Fail };
    Outcome outcome = Pass;
    QString text; // one line in Chinese: what was checked and what was found
};

// Would the platform accept this answer to that push? One line per rule:
// time, status, "no reply" or a passive reply's shape, UTF-8, and for an
// encrypted answer its signature, decryption and AppID. A failed exchange
// gets the one line that says so.
QList<VerdictLine> judgeExchange(const ExchangeRecord &record, const QString &push, const AccessSettings &access);

// Whether every line passed (warnings pass).
bool verdictPassed(const QList<VerdictLine> &lines);

// Whether an error answer says the signature was wrong, in the words of the
// common SDKs: node wechat and co-wechat "Invalid signature", others
// "非法请求" or "签名".
bool refusesTheSignature(const QString &answer);
