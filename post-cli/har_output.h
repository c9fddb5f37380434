#pragma once

#include "har/har_export.h"

#include <QSaveFile>
#include <QString>

#include <memory>
#include <optional>

// --har FILE: every exchange of the run, written as one HAR file once the
// run is over. The file is opened first, so a folder that cannot take it
// stops the run before anything is posted.
class HarOutput {
public:
    // Why the file cannot be written, or nothing.
    std::optional<QString> open(const QString &file);
    bool isOpen() const { return file_ != nullptr; }
    // In the order the exchanges end; not thread-safe (PostRun's callers are one at a time).
    void add(const ExchangeRecord &record);
    // Writes the file; why it could not be, or nothing.
    std::optional<QString> finish();

private:
    std::unique_ptr<QSaveFile> file_;
    QList<HarExchange> exchanges_;
};
