#include "history/kept_exchange_stream.h"

#include <QDataStream>
#include <QIODevice>

namespace {

constexpr quint32 kFormat = 1;

QDataStream &operator<<(QDataStream &out, const ExchangeHop &hop)
{
    return out << hop.requestHead << hop.requestBody << hop.answerHead << hop.answerBody << qint64(hop.status)
               << hop.connectedMs << hop.firstByteMs << hop.wholeMs;
}

QDataStream &operator>>(QDataStream &in, ExchangeHop &hop)
{
    qint64 status = 0;
    in >> hop.requestHead >> hop.requestBody >> hop.answerHead >> hop.answerBody >> status >> hop.connectedMs
        >> hop.firstByteMs >> hop.wholeMs;
    hop.status = long(status);
    return in;
}

template <typename T>
void writeOptional(QDataStream &out, const std::optional<T> &value)
{
    out << value.has_value();
    if (value)
        out << *value;
}

template <typename T>
void readOptional(QDataStream &in, std::optional<T> &value)
{
    bool present = false;
    in >> present;
    value.reset();
    if (present) {
        T read{};
        in >> read;
        value = std::move(read);
    }
}

QList<qint64> sizes64(const QList<qsizetype> &sizes)
{
    return QList<qint64>(sizes.begin(), sizes.end());
}

QList<qsizetype> sizesBack(const QList<qint64> &sizes)
{
    return QList<qsizetype>(sizes.begin(), sizes.end());
}

} // namespace

QByteArray packKeptExchange(const KeptExchange &entry)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_4);
    const ExchangeRecord &record = entry.record;
    out << kFormat << record.started << record.method << record.url << qint32(record.hops.size());
    for (const ExchangeHop &hop : record.hops)
        out << hop;
    writeOptional(out, record.plainMessage);
    writeOptional(out, record.contentType);
    out << record.decodingUsed << record.elapsedMs << record.cancelled;
    out << record.failure.has_value();
    if (record.failure)
        out << qint32(record.failure->number) << record.failure->description;
    out << qint32(record.answerChecks.size());
    for (const AnswerCheck &check : record.answerChecks)
        out << check.what << check.passed << check.detail;
    writeOptional(out, record.decryptedText);
    out << qint32(entry.verdict.size());
    for (const VerdictLine &line : entry.verdict)
        out << qint32(line.outcome) << line.text;
    out << qint32(entry.group) << qint32(entry.tryNumber) << sizes64(entry.whole.request) << sizes64(entry.whole.answer)
        << qint64(entry.whole.plainMessage) << qint64(entry.whole.decrypted) << quint64(entry.answerFingerprint);
    return bytes;
}

std::optional<KeptExchange> unpackKeptExchange(const QByteArray &bytes)
{
    QDataStream in(bytes);
    in.setVersion(QDataStream::Qt_6_4);
    quint32 format = 0;
    in >> format;
    if (format != kFormat)
        return std::nullopt;
    KeptExchange entry;
    ExchangeRecord &record = entry.record;
    qint32 hops = 0;
    in >> record.started >> record.method >> record.url >> hops;
    for (qint32 i = 0; i < hops && in.status() == QDataStream::Ok; ++i) {
        ExchangeHop hop;
        in >> hop;
        record.hops.append(hop);
    }
    readOptional(in, record.plainMessage);
    readOptional(in, record.contentType);
    in >> record.decodingUsed >> record.elapsedMs >> record.cancelled;
    bool failed = false;
    in >> failed;
    if (failed) {
        qint32 number = 0;
        ExchangeFailureNote note;
        in >> number >> note.description;
        note.number = number;
        record.failure = note;
    }
    qint32 checks = 0;
    in >> checks;
    for (qint32 i = 0; i < checks && in.status() == QDataStream::Ok; ++i) {
        AnswerCheck check;
        in >> check.what >> check.passed >> check.detail;
        record.answerChecks.append(check);
    }
    readOptional(in, record.decryptedText);
    qint32 lines = 0;
    in >> lines;
    for (qint32 i = 0; i < lines && in.status() == QDataStream::Ok; ++i) {
        qint32 outcome = 0;
        VerdictLine line;
        in >> outcome >> line.text;
        if (outcome < VerdictLine::Pass || outcome > VerdictLine::Fail)
            return std::nullopt;
        line.outcome = VerdictLine::Outcome(outcome);
        entry.verdict.append(line);
    }
    qint32 group = 0, tryNumber = 0;
    QList<qint64> request, answer;
    qint64 plain = 0, decrypted = 0;
    quint64 fingerprint = 0;
    in >> group >> tryNumber >> request >> answer >> plain >> decrypted >> fingerprint;
    if (in.status() != QDataStream::Ok)
        return std::nullopt;
    entry.group = group;
    entry.tryNumber = tryNumber;
    entry.whole = {sizesBack(request), sizesBack(answer), qsizetype(plain), qsizetype(decrypted)};
    entry.answerFingerprint = std::size_t(fingerprint);
    entry.cut = true;
    return entry;
}
