#include "platform/user_samples.h"

#include "platform/more_samples.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringDecoder>

using namespace Qt::Literals::StringLiterals;

namespace {

const QStringList kExtensions{u"xml"_s, u"json"_s};

// The window's three buttons, which the command line names too.
const QStringList kWindowSampleNames{u"text"_s, u"picture"_s, u"location"_s};

bool isBuiltInName(const QString &name)
{
    if (kWindowSampleNames.contains(name))
        return true;
    for (Platform platform : {Platform::OfficialAccount, Platform::MiniProgram, Platform::WeCom,
                              Platform::OpenPlatform, Platform::Pay}) {
        if (findPushSample(platform, name))
            return true;
    }
    return false;
}

// JSON bodies open with an object or an array; anything else is kept as XML.
QString extensionFor(const QString &text)
{
    const QString start = text.trimmed().left(1);
    return start == u"{" || start == u"[" ? u"json"_s : u"xml"_s;
}

} // namespace

QString userSamplesFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u"/Veltrane/veltrane/samples"_s;
}

QList<UserSample> userSamples(const QString &folder)
{
    QList<UserSample> found;
    const QDir dir(folder);
    const QFileInfoList files =
        dir.entryInfoList({u"*.xml"_s, u"*.json"_s}, QDir::Files | QDir::Readable, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo &file : files) {
        // "a.xml" and "a.json" both there (edited by hand): the first listed stands.
        const QString name = file.completeBaseName();
        if (!name.isEmpty() && (found.isEmpty() || found.last().name != name))
            found.append({name, file.absoluteFilePath()});
    }
    return found;
}

std::optional<UserSample> findUserSample(const QString &folder, QStringView name)
{
    for (const UserSample &sample : userSamples(folder)) {
        if (sample.name == name)
            return sample;
    }
    return std::nullopt;
}

SampleText sampleTextFromBytes(const QByteArray &bytes)
{
    // A byte-order mark stays part of the text (U+FEFF), which goes out as the same three bytes.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    const QString text = decoder(bytes);
    const QByteArray again = text.toUtf8();
    if (again == bytes)
        return {text, {}};
    qsizetype offset = 0;
    while (offset < bytes.size() && offset < again.size() && bytes[offset] == again[offset])
        ++offset;
    return {{}, u"文件不是有效的 UTF-8（从第 %1 个字节起），载入会改动它，没有载入；请先转换为 UTF-8"_s.arg(offset + 1)};
}

SampleText readSampleFile(const QString &file)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return {{}, u"无法读取文件 \"%1\"：%2"_s.arg(QDir::toNativeSeparators(file), in.errorString())};
    const QByteArray bytes = in.readAll();
    if (in.error() != QFileDevice::NoError)
        return {{}, u"读取文件 \"%1\" 出错：%2"_s.arg(QDir::toNativeSeparators(file), in.errorString())};
    return sampleTextFromBytes(bytes);
}

QString userSampleNameProblem(const QString &name)
{
    if (name.trimmed().isEmpty())
        return u"样例名称为空，请填写一个名称"_s;
    if (name != name.trimmed() || name.startsWith(u'.'))
        return u"样例名称不能以空格或“.”开头，也不能以空格结尾"_s;
    for (QChar c : name) {
        if (c.category() == QChar::Other_Control || QStringView(u"/\\:*?\"<>|").contains(c))
            return u"样例名称不能含有 / \\ : * ? \" < > | 或控制字符"_s;
    }
    if (isBuiltInName(name))
        return u"“%1”是内置样例的名称，请换一个名称"_s.arg(name);
    return {};
}

QString writeTextFile(const QString &file, const QString &text)
{
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(text.toUtf8()) < 0 || !out.commit())
        return u"无法写入文件 \"%1\"：%2"_s.arg(QDir::toNativeSeparators(file), out.errorString());
    return {};
}

UserSampleSave saveUserSample(const QString &folder, const QString &name, const QString &text)
{
    if (const QString problem = userSampleNameProblem(name); !problem.isEmpty())
        return {{}, problem};
    if (!QDir().mkpath(folder))
        return {{}, u"无法创建样例文件夹 \"%1\""_s.arg(QDir::toNativeSeparators(folder))};
    const QString extension = extensionFor(text);
    const QString file = QDir(folder).absoluteFilePath(name + u'.' + extension);
    if (const QString problem = writeTextFile(file, text); !problem.isEmpty())
        return {{}, problem};
    for (const QString &other : kExtensions) {
        if (other != extension)
            QFile::remove(QDir(folder).absoluteFilePath(name + u'.' + other));
    }
    return {file, {}};
}
