#pragma once

#include "platform/access_settings.h"

#include <QList>
#include <QString>

// The other pushes the platform sends: the message types and the events a
// user's actions cause. Same shape as the three samples in samples.h (CR LF
// between lines, toUser/fromUser, nothing after "</xml>"), but with the time
// of the post and, for messages, a message id of its own.
// What makes one family sample's post unlike the next, and whom it is for.
struct SampleContext {
    qint64 createTime = 0;
    quint64 msgId = 0;   // messages only
    QString receiveId;   // the settings' AppID, CorpID or component AppID; empty: a stand-in
    QString agentId;     // WeCom; empty: a stand-in
};

// One field of a family's sample, written as an element in XML and as a
// member in JSON; a number goes without CDATA and without quotes.
struct PushField {
    QString name;
    QString value;
    bool number = false;
};

struct PushSample {
    QString name;    // stable, for the command line: "image", "subscribe-qrscene", ...
    QString caption; // for a menu, in Chinese
    bool hasMsgId;   // messages carry a MsgId; events do not
    // The official account's push with this CreateTime and MsgId (ignored by events).
    QString (*build)(qint64 createTime, quint64 msgId);
    // The other families' pushes: their fields in order, for either body format. Set where build is not.
    QList<PushField> (*fields)(const SampleContext &context) = nullptr;
    // A push that is no list of fields (a payment's resource JSON): the whole text.
    QString (*text)(const PushSample &sample, const AccessSettings &access) = nullptr;
};

// The fields laid out as the platform lays its pushes: XML one element a
// line with CR LF between lines; JSON as one compact object.
QString pushXml(const QList<PushField> &fields);
QString pushJson(const QList<PushField> &fields);

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

// A family's samples, in menu order; the official account's are the list
// above. Payments: the payment module's notifications, each as the
// plaintext resource JSON the window seals when it posts. The
// mini-program: text, image, miniprogrampage, user_enter_tempsession. WeCom:
// text, image, location, enter_agent, create_user, click. The third-party
// platform: component_verify_ticket, authorized, updateauthorized, unauthorized.
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
