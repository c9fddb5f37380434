#pragma once

#include <QByteArray>
#include <QString>

// An address as browsers' request objects take what was typed or pasted:
// C0 controls and spaces around it dropped, tabs and line breaks anywhere
// removed; in an http(s) address a backslash before the query is a slash.
QString cleanedAddress(const QString &typed);

// The path and query of a cleaned http(s) address as browsers send them:
// characters that cannot go on the wire percent-encoded as UTF-8, and every
// other byte, a '%' not followed by two hex digits included, left as it is.
// Starts with "/"; the fragment is not part of it.
QByteArray pathAndQueryForTheWire(const QString &cleaned);

// The whole http(s) address as it goes on the wire, from what was typed; empty
// when it is no http(s) URL with a host.
QByteArray wireUrlOf(const QString &typed);
