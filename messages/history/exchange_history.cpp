#include "history/exchange_history.h"

#include "history/kept_exchange_stream.h"
#include "history/search_fields.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QVariant>

#include <atomic>

namespace {

// SQLite's primary result codes, as the driver reports them.
enum SqliteCode { Busy = 5, Locked = 6, ReadOnly = 8, IoError = 10, Corrupt = 11, Full = 13, CantOpen = 14, NotADatabase = 26 };

int primaryCode(const QSqlError &error)
{
    return error.nativeErrorCode().toInt() & 0xff;
}

QString reasonOf(const QSqlError &error)
{
    switch (primaryCode(error)) {
    case Busy:
    case Locked:
        return QStringLiteral("文件被另一个程序占用");
    case Full:
        return QStringLiteral("磁盘已满");
    case ReadOnly:
    case CantOpen:
    case IoError:
        return QStringLiteral("文件无法写入");
    }
    return QStringLiteral("数据库出错：") + error.databaseText();
}

const QString kSchema[] = {
    QStringLiteral("CREATE TABLE IF NOT EXISTS exchanges (id INTEGER PRIMARY KEY AUTOINCREMENT, grp INTEGER NOT NULL,"
                   " url TEXT, status TEXT, verdict TEXT, msg_type TEXT, bodies TEXT, kept BLOB NOT NULL, size INTEGER NOT NULL)"),
};

// LIKE's own characters in what the user typed are meant literally.
QString likePattern(const QString &needle)
{
    QString escaped = needle;
    escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    escaped.replace(QLatin1Char('%'), QStringLiteral("\\%"));
    escaped.replace(QLatin1Char('_'), QStringLiteral("\\_"));
    return QLatin1Char('%') + escaped + QLatin1Char('%');
}

QString newConnectionName()
{
    static std::atomic<int> count = 0;
    return QStringLiteral("veltrane-history-%1").arg(++count);
}

} // namespace

ExchangeHistory::ExchangeHistory(HistoryOptions options)
    : options_(std::move(options))
    , connection_(newConnectionName())
{
    if (options_.file.isEmpty())
        return;
    open();
}

ExchangeHistory::~ExchangeHistory()
{
    close();
}

QString ExchangeHistory::defaultFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/history.sqlite");
}

QSqlDatabase ExchangeHistory::database() const
{
    return QSqlDatabase::database(connection_, false);
}

void ExchangeHistory::close()
{
    if (!QSqlDatabase::contains(connection_))
        return;
    database().close();
    QSqlDatabase::removeDatabase(connection_);
    open_ = false;
}

bool ExchangeHistory::prepareFile()
{
    // The folder and the file are the owner's only before anything is written in them.
    const QFileInfo info(options_.file);
    QDir folder = info.dir();
    if (!folder.exists()) {
        if (!QDir().mkpath(folder.path()))
            return false;
        QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    if (!info.exists()) {
        QFile file(options_.file);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return false;
    }
    QFile::setPermissions(options_.file, QFile::ReadOwner | QFile::WriteOwner);
    return true;
}

bool ExchangeHistory::open()
{
    if (!prepareFile()) {
        stopWriting(QStringLiteral("文件无法写入"));
        return false;
    }
    QSqlError error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
        db.setDatabaseName(options_.file);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(options_.busyTimeout.count()));
        if (!db.open())
            error = db.lastError();
    }
    if (error.isValid()) {
        close();
        return recover(error) && open();
    }
    open_ = true;
    if (!setUp())
        return false;
    writable_ = true;
    return true;
}

bool ExchangeHistory::setUp()
{
    QSqlQuery query(database());
    QStringList statements = {QStringLiteral("PRAGMA journal_mode=WAL")};
    if (options_.maxPageCount > 0)
        statements.append(QStringLiteral("PRAGMA max_page_count=%1").arg(options_.maxPageCount));
    for (const QString &schema : kSchema)
        statements.append(schema);
    for (const QString &statement : statements) {
        if (!query.exec(statement)) {
            const QSqlError error = query.lastError();
            query = QSqlQuery();
            return recover(error) && open();
        }
    }
    return true;
}

void ExchangeHistory::stopWriting(const QString &shortReason)
{
    if (!writable_ && !problem_.isEmpty())
        return;
    writable_ = false;
    problem_ = QStringLiteral("交互历史没有保存到 %1（%2）：本次的交互只留在内存里，程序关闭后就没有了。")
                   .arg(QDir::toNativeSeparators(options_.file), shortReason);
    notice_ = QStringLiteral("交互历史未能保存（%1），本次交互只留在内存").arg(shortReason);
}

bool ExchangeHistory::recover(const QSqlError &error)
{
    const int code = primaryCode(error);
    if ((code != Corrupt && code != NotADatabase) || movedAside_) {
        stopWriting(reasonOf(error));
        return false;
    }
    movedAside_ = true;
    close();
    const QString aside
        = options_.file + QStringLiteral(".corrupt-") + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    if (!QFile::rename(options_.file, aside)) {
        stopWriting(QStringLiteral("文件已损坏，且无法移到一旁"));
        return false;
    }
    // Its journal belongs to it, not to the new file.
    for (const char *suffix : {"-wal", "-shm"})
        QFile::rename(options_.file + QLatin1String(suffix), aside + QLatin1String(suffix));
    notice_ = QStringLiteral("交互历史文件已损坏，已移到 %1，重新开始记录").arg(QFileInfo(aside).fileName());
    return true;
}

bool ExchangeHistory::insert(const KeptExchange &entry, qint64 &id)
{
    QSqlDatabase db = database();
    KeptExchange kept = entry;
    keepBodyStarts(kept);
    const SearchFields fields = searchFieldsOf(kept);
    const QByteArray packed = packKeptExchange(kept);
    const qint64 size = packed.size() + fields.bodies.toUtf8().size() + fields.url.size() + fields.verdict.size();

    if (!db.transaction()) {
        const QSqlError error = db.lastError();
        db = {};
        return recover(error) && open() && insert(entry, id);
    }
    QSqlQuery query(db);
    query.prepare(QStringLiteral("INSERT INTO exchanges (grp, url, status, verdict, msg_type, bodies, kept, size)"
                                 " VALUES (?, ?, ?, ?, ?, ?, ?, ?)"));
    query.addBindValue(entry.group);
    query.addBindValue(fields.url);
    query.addBindValue(fields.status);
    query.addBindValue(fields.verdict);
    query.addBindValue(fields.msgType);
    query.addBindValue(fields.bodies);
    query.addBindValue(packed);
    query.addBindValue(size);
    bool done = query.exec();
    if (done) {
        id = query.lastInsertId().toLongLong();
        // The oldest go first beyond either bound.
        query.prepare(QStringLiteral(
            "DELETE FROM exchanges WHERE id IN (SELECT id FROM (SELECT id, ROW_NUMBER() OVER w AS n,"
            " SUM(size) OVER w AS running FROM exchanges WINDOW w AS (ORDER BY id DESC)) WHERE n > ? OR running > ?)"));
        query.addBindValue(qint64(options_.maxExchanges));
        query.addBindValue(options_.maxBytes);
        done = query.exec();
    }
    const QSqlError error = done ? QSqlError() : query.lastError();
    query = QSqlQuery();
    if (done && db.commit())
        return true;
    const QSqlError failed = done ? db.lastError() : error;
    db.rollback();
    db = {};
    return recover(failed) && open() && insert(entry, id);
}

qint64 ExchangeHistory::add(const KeptExchange &entry)
{
    qint64 id = 0;
    if (writable_ && insert(entry, id))
        return id;
    KeptExchange kept = entry;
    keepBodyStarts(kept);
    kept.historyId = --lastMemoryId_;
    memory_.prepend(std::move(kept));
    while (memory_.size() > options_.maxExchanges)
        memory_.removeLast();
    return lastMemoryId_;
}

QList<KeptExchange> ExchangeHistory::page(const QString &search, qsizetype skip, qsizetype count)
{
    QList<KeptExchange> found;
    // The session's exchanges the file could not take are the newest.
    qsizetype matchedInMemory = 0;
    for (const KeptExchange &entry : std::as_const(memory_)) {
        if (!matchesSearch(searchFieldsOf(entry), search))
            continue;
        if (matchedInMemory++ >= skip && found.size() < count)
            found.append(entry);
    }
    if (!open_ || found.size() >= count)
        return found;
    QSqlQuery query(database());
    QString sql = QStringLiteral("SELECT id, kept FROM exchanges");
    if (!search.isEmpty())
        sql += QStringLiteral(" WHERE url LIKE :s ESCAPE '\\' OR status LIKE :s ESCAPE '\\' OR verdict LIKE :s ESCAPE '\\'"
                              " OR msg_type LIKE :s ESCAPE '\\' OR bodies LIKE :s ESCAPE '\\'");
    sql += QStringLiteral(" ORDER BY id DESC LIMIT :count OFFSET :skip");
    query.prepare(sql);
    if (!search.isEmpty())
        query.bindValue(QStringLiteral(":s"), likePattern(search));
    query.bindValue(QStringLiteral(":count"), qint64(count - found.size()));
    query.bindValue(QStringLiteral(":skip"), qint64(std::max<qsizetype>(0, skip - matchedInMemory)));
    if (!query.exec())
        return found; // what cannot be read is not listed; posts go on
    while (query.next()) {
        if (std::optional<KeptExchange> entry = unpackKeptExchange(query.value(1).toByteArray())) {
            entry->historyId = query.value(0).toLongLong();
            found.append(std::move(*entry));
        }
    }
    return found;
}

bool ExchangeHistory::clear()
{
    memory_.clear();
    if (!open_)
        return true;
    QSqlQuery query(database());
    if (!query.exec(QStringLiteral("DELETE FROM exchanges"))) {
        stopWriting(reasonOf(query.lastError()));
        return false;
    }
    // The space given back to the disk, not only to the file.
    query.exec(QStringLiteral("VACUUM"));
    return true;
}

int ExchangeHistory::lastGroup()
{
    int last = 0;
    for (const KeptExchange &entry : std::as_const(memory_))
        last = std::max(last, entry.group);
    if (open_) {
        QSqlQuery query(database());
        if (query.exec(QStringLiteral("SELECT MAX(grp) FROM exchanges")) && query.next())
            last = std::max(last, query.value(0).toInt());
    }
    return last;
}
