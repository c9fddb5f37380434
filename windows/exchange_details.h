#pragma once

#include "exchange_journal.h"

#include <QByteArrayView>
#include <QString>

#include <optional>

// The exchange window's texts for one exchange. Every body is shown as far as
// its first kShownBytes (characters for text) with a note of what follows,
// so a 10 MB answer costs what 256 KB cost.
constexpr qsizetype kShownBytes = 256 * 1024;

// Offset, sixteen bytes in hex, the same bytes as ASCII: one line per sixteen.
QString hexDump(QByteArrayView bytes);

// The request as sent: request line, every header, the body; with an
// encrypted post, also the message before encryption. Bodies as text or hex.
QString shownRequest(const JournalEntry &entry, bool hex);
// The answer as received: status line, every header, the body in the decoding
// used; with an encrypted answer, also the decrypted one; or the failure.
QString shownAnswer(const JournalEntry &entry, bool hex);
// Connected, first byte, whole answer, hop by hop.
QString shownTimings(const ExchangeRecord &record);
