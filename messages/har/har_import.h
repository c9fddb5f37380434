#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>
#include <utility>

// One POST of a HAR file, as it was recorded.
struct HarPostEntry {
    int entryIndex = 0;                          // its place in log.entries, from 0
    QDateTime started;                           // startedDateTime; invalid where the file has none
    QString method;                              // as recorded (POST)
    QString url;                                 // as recorded, query (signature parameters) included
    QList<std::pair<QString, QString>> headers;  // the request's, in order (HTTP/2's ":authority" too)
    QByteArray body;                             // postData: text's bytes, base64-decoded with "encoding"; else params
    QString mimeType;                            // postData.mimeType
    long status = 0;                             // the answer's status; 0: none recorded
};

// What a HAR file holds for a replay.
struct HarImport {
    QString creator;                // log.creator.name: "Veltrane", "WebInspector" (Chrome), "Firefox", …
    int entryCount = 0;             // every entry, POST or not
    QList<HarPostEntry> posts;      // the POST entries, in the file's order
    std::optional<QString> problem; // in Chinese: why nothing can be replayed from the file, and what to do

    bool ok() const { return !problem.has_value(); }
};

// Reads HAR 1.2 as Veltrane, browsers' developer tools (Chrome, Firefox)
// and HTTP clients write it; what they add of their own ("_initiator",
// "cache", "serverIPAddress", pages) is passed over.
HarImport importHar(const QByteArray &fileBytes);
// The file at the path; one that cannot be read says so.
HarImport importHarFile(const QString &path);
