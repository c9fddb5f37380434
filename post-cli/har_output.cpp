#include "har_output.h"

#include <QDir>

using namespace Qt::Literals::StringLiterals;

namespace {

QString cannotWrite(const QString &file, const QString &why)
{
    return u"--har 的文件 \"%1\" 无法写入：%2"_s.arg(QDir::toNativeSeparators(file), why);
}

} // namespace

std::optional<QString> HarOutput::open(const QString &file)
{
    file_ = std::make_unique<QSaveFile>(file);
    if (file_->open(QIODevice::WriteOnly))
        return std::nullopt;
    const QString why = file_->errorString();
    file_.reset();
    return cannotWrite(file, why);
}

void HarOutput::add(const ExchangeRecord &record)
{
    if (file_)
        exchanges_.append({record, {}});
}

std::optional<QString> HarOutput::finish()
{
    if (!file_)
        return std::nullopt;
    if (file_->write(harFile(exchanges_)) < 0 || !file_->commit())
        return cannotWrite(file_->fileName(), file_->errorString());
    return std::nullopt;
}
