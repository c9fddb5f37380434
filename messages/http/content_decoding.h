#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

// Undoes an answer's content codings (gzip, deflate, br, zstd) piece by
// piece as the body arrives, so that only decoded bytes are ever kept.
// The library's own decoding is off: it refuses a coding it does not know,
// where browsers show the body as it came.
class ContentDecoder {
public:
    // Takes a decoded piece; returns false to stop.
    using Sink = std::function<bool(QByteArrayView)>;

    // The Content-Encoding values in the order the answer gave them. With a
    // coding it does not know, every byte passes as it came.
    explicit ContentDecoder(const QList<QByteArray> &codings);
    ~ContentDecoder();
    ContentDecoder(const ContentDecoder &) = delete;
    ContentDecoder &operator=(const ContentDecoder &) = delete;

    // False when the sink stopped or the coded bytes are broken (see error()).
    bool feed(QByteArrayView bytes, const Sink &sink);
    QString error() const { return error_; }

    class Stage;

private:
    bool run(std::size_t stage, QByteArrayView bytes, const Sink &sink);

    std::vector<std::unique_ptr<Stage>> stages_; // first undone first
    QString error_;
};
