#pragma once

#include "history/kept_exchange.h"

#include <QByteArray>

#include <optional>

// An entry as the history file holds it: its fields in a QDataStream of a
// fixed version, behind a format number so an older program reading a newer
// file skips what it cannot read instead of misreading it.
QByteArray packKeptExchange(const KeptExchange &entry);
std::optional<KeptExchange> unpackKeptExchange(const QByteArray &bytes);
