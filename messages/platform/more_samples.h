#pragma once

#include "platform/access_settings.h"

#include <QList>
#include <QString>

// The other pushes the platform sends: the message types and the events a
// user's actions cause. Same shape as the three samples in samples.h (CR LF
// between lines, toUser/fromUser, nothing after "</xml>"), but with the time
// of the post and, for messages, a message id of its own.
struct PushSample {
    QString name;    // stable, for the command line: "image", "subscribe-qrscene", ...
    QString caption; // for a menu, in Chinese
    bool hasMsgId;   // messages carry a MsgId; events do not
    // The push with this CreateTime and MsgId (ignored by events).
    QString (*build)(qint64 createTime, quint64 msgId);
};

// Every sample, in menu order: image, voice, video, shortvideo, link, then the
// events subscribe, subscribe-qrscene, unsubscribe, scan, location-event,
// click, view.
const QList<PushSample> &pushSamples();

// The sample of that command-line name, or nullptr.
const PushSample *findPushSample(QStringView name);

// A message id as the platform gives one: 64 bits from libcrypto's generator,
// kept below 2^63 so that parsers reading a signed 64-bit number take it.
quint64 freshMsgId();

// The sample as a post now: the clock's seconds and a fresh MsgId.
QString buildPushSample(const PushSample &sample);

// A family's samples, in menu order; the official account's are the list above.
const QList<PushSample> &pushSamples(Platform platform);
const PushSample *findPushSample(Platform platform, QStringView name);

// The sample as that family's endpoint receives it now: in the settings'
// body format, addressed to their receive id and AgentID where the family
// names them.
QString buildPushSample(const PushSample &sample, const AccessSettings &access);

// The push with its MsgId element's number replaced; a push without one
// unchanged. For a repeated post that should count as a new message.
QString withMsgId(const QString &push, quint64 msgId);
QString withFreshMsgId(const QString &push);
