#pragma once

#include <QByteArray>
#include <QString>

// A POSIX shell command line, on one line, that posts the same bytes as the
// program did: the method, the URL with its query, the Content-Type field and
// the body byte for byte. The body goes through printf into curl's standard
// input, so CR LF, NUL, a leading "@" and bytes that are not UTF-8 all arrive
// unchanged and survive a paste into a terminal. An empty contentType sends
// no Content-Type field.
QString curlCommand(const QString &url, const QByteArray &body, const QByteArray &contentType);

// The text as one single-quoted shell word.
QString shellQuoted(const QString &text);
