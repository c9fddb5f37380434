#pragma once

#include <QList>
#include <QString>

#include <utility>

// The URL with the parameters appended to its query, each value percent-
// encoded. Parameters the URL already had under those names are dropped, the
// others kept as typed and in order; a fragment stays after the query.
QString withQueryParameters(const QString &url, const QList<std::pair<QString, QString>> &parameters);
