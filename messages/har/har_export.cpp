#include "har/har_export.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QUrl>
#include <QUrlQuery>

namespace {

struct Head {
    QString firstLine;
    QJsonArray headers;
    std::optional<QByteArray> contentType;
    std::optional<QByteArray> location;
};

// A head as sent or received: its first line and its fields in order.
Head readHead(const QByteArray &bytes)
{
    Head head;
    head.firstLine = QString::fromLatin1(bytes.left(bytes.indexOf('\n')).trimmed());
    for (const auto &[name, value] : headFields(bytes)) {
        // Credentials for a proxy are the user's, not the exchange's.
        if (name.compare("Proxy-Authorization", Qt::CaseInsensitive) == 0)
            continue;
        if (name.compare("Content-Type", Qt::CaseInsensitive) == 0)
            head.contentType = value;
        if (name.compare("Location", Qt::CaseInsensitive) == 0)
            head.location = value;
        head.headers.append(QJsonObject{{QStringLiteral("name"), QString::fromLatin1(name)},
                                        {QStringLiteral("value"), QString::fromLatin1(value)}});
    }
    return head;
}

bool isUtf8(const QByteArray &bytes)
{
    // A byte that is not UTF-8 comes back as U+FFFD, which is three.
    return QString::fromUtf8(bytes).toUtf8() == bytes;
}

// A body as HAR holds it: "text", with "encoding": "base64" when not UTF-8.
void putBody(QJsonObject &into, const QByteArray &body)
{
    if (isUtf8(body)) {
        into[QStringLiteral("text")] = QString::fromUtf8(body);
    } else {
        into[QStringLiteral("text")] = QString::fromLatin1(body.toBase64());
        into[QStringLiteral("encoding")] = QStringLiteral("base64");
    }
}

QString httpVersionOf(const QString &line, bool request)
{
    const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const QString version = request ? words.value(2) : words.value(0);
    return version.isEmpty() ? QStringLiteral("HTTP/1.1") : version;
}

QJsonArray queryStringOf(const QUrl &url)
{
    QJsonArray items;
    for (const auto &[name, value] : QUrlQuery(url).queryItems(QUrl::FullyDecoded))
        items.append(QJsonObject{{QStringLiteral("name"), name}, {QStringLiteral("value"), value}});
    return items;
}

double nonNegative(double ms)
{
    return ms < 0 ? 0 : ms;
}

QJsonObject entryFor(const ExchangeRecord &record, const ExchangeHop &hop, const QString &urlText,
                     const QDateTime &started, qsizetype wholeAnswer)
{
    const QUrl url(urlText);
    const Head sent = readHead(hop.requestHead);
    QJsonObject request{
        {QStringLiteral("method"), record.method.isEmpty() ? QStringLiteral("POST") : record.method},
        {QStringLiteral("url"), urlText},
        {QStringLiteral("httpVersion"), httpVersionOf(sent.firstLine, true)},
        {QStringLiteral("cookies"), QJsonArray()},
        {QStringLiteral("headers"), sent.headers},
        {QStringLiteral("queryString"), queryStringOf(url)},
        {QStringLiteral("headersSize"), hop.requestHead.isEmpty() ? -1 : qint64(hop.requestHead.size())},
        {QStringLiteral("bodySize"), qint64(hop.requestBody.size())},
    };
    if (!hop.requestBody.isEmpty() || record.method != QLatin1String("GET")) {
        QJsonObject postData{{QStringLiteral("mimeType"), QString::fromLatin1(sent.contentType.value_or(QByteArray()))}};
        putBody(postData, hop.requestBody);
        request[QStringLiteral("postData")] = postData;
    }

    const Head received = readHead(hop.answerHead);
    QJsonObject content{{QStringLiteral("size"), qint64(wholeAnswer)},
                        {QStringLiteral("mimeType"), QString::fromLatin1(received.contentType.value_or(QByteArray()))}};
    putBody(content, hop.answerBody);
    if (wholeAnswer > hop.answerBody.size())
        content[QStringLiteral("comment")] = QStringLiteral("只保留了开头的 %1 字节").arg(hop.answerBody.size());
    const QStringList statusWords = received.firstLine.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QJsonObject response{
        {QStringLiteral("status"), qint64(hop.status)},
        {QStringLiteral("statusText"), statusWords.mid(2).join(QLatin1Char(' '))},
        {QStringLiteral("httpVersion"), hop.status ? httpVersionOf(received.firstLine, false) : QString()},
        {QStringLiteral("cookies"), QJsonArray()},
        {QStringLiteral("headers"), received.headers},
        {QStringLiteral("content"), content},
        {QStringLiteral("redirectURL"),
         received.location ? QString::fromUtf8(url.resolved(QUrl::fromEncoded(*received.location)).toEncoded()) : QString()},
        {QStringLiteral("headersSize"), hop.answerHead.isEmpty() ? -1 : qint64(hop.answerHead.size())},
        {QStringLiteral("bodySize"), hop.status ? qint64(wholeAnswer) : -1},
    };

    // Connect, then the wait for the first byte, then the rest of the answer.
    const double connect = hop.connectedMs;
    const double wait = hop.firstByteMs < 0 ? 0 : nonNegative(hop.firstByteMs - nonNegative(connect));
    const double receive = hop.wholeMs < 0 || hop.firstByteMs < 0 ? 0 : nonNegative(hop.wholeMs - hop.firstByteMs);
    const QJsonObject timings{{QStringLiteral("blocked"), -1}, {QStringLiteral("dns"), -1},
                              {QStringLiteral("connect"), connect < 0 ? -1 : connect}, {QStringLiteral("send"), 0},
                              {QStringLiteral("wait"), wait}, {QStringLiteral("receive"), receive},
                              {QStringLiteral("ssl"), -1}};
    QJsonObject entry{
        {QStringLiteral("startedDateTime"), started.toOffsetFromUtc(started.offsetFromUtc()).toString(Qt::ISODateWithMs)},
        {QStringLiteral("time"), nonNegative(connect) + wait + receive},
        {QStringLiteral("request"), request},
        {QStringLiteral("response"), response},
        {QStringLiteral("cache"), QJsonObject()},
        {QStringLiteral("timings"), timings},
    };
    if (record.cancelled)
        entry[QStringLiteral("_error")] = QStringLiteral("已取消");
    else if (record.failure && hop.status == 0)
        entry[QStringLiteral("_error")] = record.failure->description;
    return entry;
}

} // namespace

QJsonObject harLog(const QList<HarExchange> &exchanges)
{
    QJsonArray entries;
    for (const HarExchange &exchange : exchanges) {
        const ExchangeRecord &record = exchange.record;
        // The first request's URL as it was sent, signature parameters and all.
        QString url = record.url;
        QDateTime started = record.started;
        for (qsizetype i = 0; i < record.hops.size(); ++i) {
            const ExchangeHop &hop = record.hops.at(i);
            const qsizetype whole = exchange.wholeAnswerSizes.value(i, hop.answerBody.size());
            entries.append(entryFor(record, hop, url, started, whole));
            // The next hop is the redirect's target, started when this one ended.
            if (const std::optional<QByteArray> location = answerHeader(hop, "Location"))
                url = QString::fromUtf8(QUrl(url).resolved(QUrl::fromEncoded(*location)).toEncoded());
            started = started.addMSecs(qint64(nonNegative(hop.wholeMs)));
        }
        if (record.hops.isEmpty()) // failed before a byte was sent: the request as meant
            entries.append(entryFor(record, ExchangeHop{}, url, started, 0));
    }
    const QJsonObject creator{{QStringLiteral("name"), QStringLiteral("Veltrane")},
                              {QStringLiteral("version"), QStringLiteral(VELTRANE_VERSION)}};
    return QJsonObject{{QStringLiteral("version"), QStringLiteral("1.2")},
                       {QStringLiteral("creator"), creator},
                       {QStringLiteral("pages"), QJsonArray()},
                       {QStringLiteral("entries"), entries}};
}

QByteArray harFile(const QList<HarExchange> &exchanges)
{
    return QJsonDocument(QJsonObject{{QStringLiteral("log"), harLog(exchanges)}}).toJson(QJsonDocument::Indented);
}
