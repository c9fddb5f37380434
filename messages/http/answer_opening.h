#pragma once

#include "platform/access_settings.h"
#include "http/exchange_record.h"

#include <QList>
#include <QString>

#include <optional>

// An answer as the front ends show it.
struct OpenedAnswer {
    bool encrypted = false;          // it holds an Encrypt element
    QList<AnswerCheck> checks;       // encrypted: signature, decryption, AppID, in that order
    std::optional<QString> text;     // decrypted, only when every check passed
    std::optional<QString> decrypted; // decrypted, whatever the signature and AppID checks found
    std::optional<QString> problem;  // which check failed, in Chinese, for a message box
};

// Opens an encrypted answer: its MsgSignature against its own TimeStamp and
// Nonce, its decryption with the EncodingAESKey, its AppID. SDKs answer
// encrypted whatever mode the request was in, so any answer is looked at.
OpenedAnswer openAnswer(const QString &answerText, const AccessSettings &access);
