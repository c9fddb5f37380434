#pragma once

#include "history/kept_exchange.h"

#include <QString>

// What the history's search box looks in, for one exchange: the file keeps
// these beside the entry, and the memory (when the file cannot be written)
// matches on the same texts, so both find the same exchanges.
struct SearchFields {
    QString url;
    QString status;   // "200", "失败：…", "已取消"
    QString verdict;  // "通过"/"注意"/"不通过" and every line of the verdict
    QString msgType;  // the push's MsgType (or Event's type), if it says one
    QString bodies;   // the request's and the answer's bodies as text
};

SearchFields searchFieldsOf(const KeptExchange &entry);
// Whether any field holds `needle`, case aside; an empty needle matches all.
bool matchesSearch(const SearchFields &fields, const QString &needle);
