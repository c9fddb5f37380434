#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

// One request as it left and the answer as it came, byte for byte: what the
// exchange window and the command-line twin show. A redirect makes several.
struct ExchangeHop {
    QByteArray requestHead;  // request line and every header field as sent, CR LF, ending in the empty line
    QByteArray requestBody;  // the body's bytes as sent
    QByteArray answerHead;   // status line and every header field as received (the last head, after any 1xx)
    QByteArray answerBody;   // the body's bytes after any content coding was undone
    long status = 0;         // 0: no answer came
    // Milliseconds from the start of this hop; negative: never reached.
    double connectedMs = -1;
    double firstByteMs = -1;
    double wholeMs = -1;
};

// A header field's value in a request or answer head (the last one of that
// name, as curl takes it), or nothing.
inline std::optional<QByteArray> headField(const QByteArray &head, QByteArrayView name)
{
    std::optional<QByteArray> value;
    for (const QByteArray &line : head.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && QByteArrayView(line).first(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0)
            value = line.mid(colon + 1).trimmed();
    }
    return value;
}

// A head's header fields in order, name and value trimmed; its first line
// (the request or status line) is not one.
inline QList<std::pair<QByteArray, QByteArray>> headFields(const QByteArray &head)
{
    QList<std::pair<QByteArray, QByteArray>> fields;
    const QList<QByteArray> lines = head.split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0)
            fields.append({lines[i].first(colon).trimmed(), lines[i].mid(colon + 1).trimmed()});
    }
    return fields;
}

inline std::optional<QByteArray> answerHeader(const ExchangeHop &hop, QByteArrayView name)
{
    return headField(hop.answerHead, name);
}

// Why an exchange could not be carried out: PostFailure's number and description.
struct ExchangeFailureNote {
    int number = 0;
    QString description;
};

// One check of an encrypted answer: its signature, its decryption, its AppID.
struct AnswerCheck {
    QString what;   // "签名", "解密", "AppID"
    bool passed = false;
    QString detail; // in Chinese: what was expected and what was found
};

// What was posted, how, and what came back, for one post from either front end.
struct ExchangeRecord {
    QDateTime started;                  // local time the post began
    QString method;                     // as the wire spelled it: POST, GET
    QString url;                        // the first request's URL as sent, query included
    QList<ExchangeHop> hops;            // in order; the last one holds the final answer
    std::optional<QString> plainMessage; // compatible and safe modes: the message before encryption
    std::optional<QByteArray> contentType; // of the final answer
    QString decodingUsed;               // the name of the encoding the answer's text was decoded with
    QString answerText;                 // the final answer's body as text
    QList<AnswerCheck> answerChecks;    // an encrypted answer's checks in order; empty: not encrypted
    std::optional<QString> decryptedText; // an encrypted answer, decrypted (its other checks may have failed)
    double elapsedMs = -1;              // click until the whole answer, redirects included
    std::optional<ExchangeFailureNote> failure;
    bool cancelled = false;             // given up by the user: nothing is shown for it

    const ExchangeHop *finalHop() const { return hops.isEmpty() ? nullptr : &hops.constLast(); }
    long status() const { return hops.isEmpty() ? 0 : hops.constLast().status; }
};
