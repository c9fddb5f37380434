#pragma once

#include "endpoint.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <string>
#include <variant>

// The envelope every family encrypts in: an Encrypt text signed, with the
// token, timestamp and nonce, into msg_signature, whose plaintext ends in the
// receive id (AppID, CorpID or the third-party platform's AppID). Checked
// here with the crypto primitives, apart from the code that posts.

// Checks msg_signature over the Encrypt text, opens it and compares the
// receive id, refusing as the SDKs do: the plaintext, or the answer to send.
std::variant<QByteArray, EndpointAnswer> openEnvelope(const EndpointSettings &settings, const std::string &query,
                                                      const QString &encrypt);

struct SealedReply {
    QString encrypt;
    QString msgSignature;
    QString timestamp;
    QString nonce;
};

// The reply encrypted with the endpoint's receive id and signed anew.
SealedReply sealReply(const EndpointSettings &settings, const QByteArray &plaintext, std::int64_t now);

// <xml><Encrypt/><MsgSignature/><TimeStamp/><Nonce/></xml>
QString sealedXml(const SealedReply &reply);
// {"Encrypt","MsgSignature","TimeStamp","Nonce"}, a mini-program's JSON reply.
QString sealedJson(const SealedReply &reply);
