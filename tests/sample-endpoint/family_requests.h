#pragma once

#include "platform/push_family.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Requests as the platform's families sign and encrypt them, built with the
// crypto primitives alone, and the reading of an endpoint's answer: shared by
// the sample endpoint's tests and the SDK endpoints' interop tests.

// WeCom's documented sample key, whose last character leaves non-zero bits
// after the 32 bytes: an endpoint must take it as the platform does.
inline const QString kFamilyAesKey = QStringLiteral("jWmYm7qr5nMoAUwZRjGtBxmz3KA1tkAj3ykkR6q2B2C");
inline const QString kFamilyToken = QStringLiteral("QDG6eK");
inline const QByteArray kCorpId = "wx5823bf96d3bd56c7";
inline const QByteArray kMiniAppId = "wxminiprogram0001";
inline const QByteArray kComponentAppId = "wxcomponent00001";

// The key's 32 bytes.
QByteArray familyAesKey();

// Encrypted with the key, with "aaaabbbbccccdddd" as the random bytes.
QString seal(const QByteArray &plaintext, const QByteArray &receiveId);

// Which signatures a request's query carries, and which is forged.
enum Sign : int {
    Signature = 1,
    MsgSignature = 2,
    EncryptType = 4,
    ForgeSignature = 8,
    ForgeMsgSignature = 16,
};

// "&name=value", the value percent-encoded.
QByteArray param(const char *name, const QString &value);

// timestamp, nonce and the signatures the flags name, over the token (and
// the Encrypt text for msg_signature).
QByteArray signedQuery(int sign, const QString &encrypt = {});

// A text push in XML and in a mini-program's JSON; WeCom's documented text
// message; a third-party platform's component_verify_ticket.
extern const QByteArray kTextXml;
extern const QByteArray kTextJson;
extern const QByteArray kWeComText;
extern const QByteArray kTicket;
// The documented WeCom URL check: msg_signature, timestamp, nonce, echostr.
extern const QByteArray kKnownWeComCheck;
inline constexpr char kKnownWeComEcho[] = "1616140317555161061";
// The query of the documented WeCom push of kWeComText.
extern const QByteArray kKnownWeComPushQuery;

// The safe-mode bodies: XML (with the head's fields), a mini-program's JSON,
// a third-party platform's (AppId and Encrypt).
QByteArray xmlEnvelope(const QString &encrypt, const QByteArray &head = "<ToUserName><![CDATA[gh_x]]></ToUserName>");
QByteArray jsonEnvelope(const QString &encrypt);
QByteArray openEnvelope(const QString &encrypt);

// What the answer says, read as the platform would: "enc json:" or
// "enc xml:" when it came encrypted in that envelope (MsgSignature and
// receive id checked), then "json:" or "xml:" and the reply's Content, or
// the text itself.
QString said(const QByteArray &body, const QByteArray &receiveId);

// One post of veltrane-post to a family's endpoint: the options after the URL
// (the family, its receive id, token, key and mode, then --check-url or
// --sample NAME) and a part of what it must print.
struct FamilyPost {
    QString name;
    Platform platform;
    QStringList arguments;
    QString answer;
};

// Each family's URL check (none for the third-party platform) and every
// sample of its list, in each mode: WeCom's, the mini-program's JSON in
// plain, compatible and safe mode (with XML too when asked), the third-party
// platform's. An endpoint's replies say "收到", the third-party's "success".
QList<FamilyPost> familyPosts(bool withMiniProgramXml);
