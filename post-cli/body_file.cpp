#include "body_file.h"

#include "http/library_words.h"

#include <QFile>
#include <QStringDecoder>

#include <cstdio>

using namespace Qt::Literals::StringLiterals;

std::variant<QString, BodyFileError> bodyFromBytes(const QByteArray &bytes)
{
    // A byte-order mark is part of the body: kept as U+FEFF, which goes out as the same three bytes.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    const QString text = decoder(bytes);
    const QByteArray again = text.toUtf8();
    if (again == bytes)
        return text;
    qsizetype offset = 0;
    while (offset < bytes.size() && offset < again.size() && bytes[offset] == again[offset])
        ++offset;
    return BodyFileError{u"正文不是有效的 UTF-8（从第 %1 个字节起），会被改动，没有发送；请先转换为 UTF-8"_s.arg(offset + 1)};
}

std::variant<QString, BodyFileError> readBodyFile(const QString &path)
{
    QFile file;
    const bool opened = path == u"-" ? file.open(stdin, QIODevice::ReadOnly)
                                     : (file.setFileName(path), file.open(QIODevice::ReadOnly));
    if (!opened)
        return BodyFileError{u"无法读取正文文件 \"%1\"：%2"_s.arg(path, fileErrorInChinese(file.errorString()))};
    // readAll() stops at the end of a pipe too; an error on the way is reported, not posted half.
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return BodyFileError{u"读取正文文件 \"%1\" 出错：%2"_s.arg(path, fileErrorInChinese(file.errorString()))};
    return bodyFromBytes(bytes);
}
