#include "har/har_import.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QUrl>

using namespace Qt::Literals::StringLiterals;

namespace {

HarImport refused(const QString &problem)
{
    HarImport import;
    import.problem = problem;
    return import;
}

// A form's fields as a browser encodes them, for a postData with params and no text.
QByteArray formEncoded(const QJsonArray &params)
{
    QByteArrayList pairs;
    for (const QJsonValue &param : params) {
        const QJsonObject field = param.toObject();
        pairs.append(QUrl::toPercentEncoding(field.value("name"_L1).toString()) + '='
                     + QUrl::toPercentEncoding(field.value("value"_L1).toString()));
    }
    return pairs.join('&');
}

// postData's bytes. HAR 1.2 gives "encoding" only to answers; Veltrane
// writes it for requests too, where a body is not UTF-8.
std::optional<QByteArray> bodyOf(const QJsonObject &postData)
{
    const QJsonValue text = postData.value("text"_L1);
    if (text.isString()) {
        if (postData.value("encoding"_L1).toString() == "base64"_L1) {
            auto decoded = QByteArray::fromBase64Encoding(text.toString().toLatin1(),
                                                          QByteArray::AbortOnBase64DecodingErrors);
            if (!decoded)
                return std::nullopt;
            return *decoded;
        }
        return text.toString().toUtf8();
    }
    return formEncoded(postData.value("params"_L1).toArray());
}

} // namespace

HarImport importHar(const QByteArray &fileBytes)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(fileBytes, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return refused(u"不是 HAR 文件：不是有效的 JSON（第 %1 个字节处：%2）。请选浏览器开发者工具或 Veltrane 导出的 .har 文件"_s
                           .arg(parseError.offset + 1)
                           .arg(parseError.errorString()));
    const QJsonObject log = document.object().value("log"_L1).toObject();
    const QJsonValue entries = log.value("entries"_L1);
    if (!document.isObject() || !entries.isArray())
        return refused(u"不是 HAR 文件：JSON 里没有 log.entries。请选浏览器开发者工具或 Veltrane 导出的 .har 文件"_s);

    HarImport import;
    import.creator = log.value("creator"_L1).toObject().value("name"_L1).toString();
    const QJsonArray list = entries.toArray();
    import.entryCount = int(list.size());
    for (qsizetype i = 0; i < list.size(); ++i) {
        const QJsonObject entry = list.at(i).toObject();
        const QJsonObject request = entry.value("request"_L1).toObject();
        const QString method = request.value("method"_L1).toString();
        if (method.compare("POST"_L1, Qt::CaseInsensitive) != 0)
            continue;
        HarPostEntry post;
        post.entryIndex = int(i);
        post.method = method;
        post.url = request.value("url"_L1).toString();
        post.started = QDateTime::fromString(entry.value("startedDateTime"_L1).toString(), Qt::ISODateWithMs);
        for (const QJsonValue &header : request.value("headers"_L1).toArray())
            post.headers.append({header["name"_L1].toString(), header["value"_L1].toString()});
        const QJsonObject postData = request.value("postData"_L1).toObject();
        post.mimeType = postData.value("mimeType"_L1).toString();
        const std::optional<QByteArray> body = bodyOf(postData);
        if (!body)
            return refused(u"HAR 文件的第 %1 项请求体标明 base64 却解不开：文件可能被改动过，请重新导出"_s.arg(i + 1));
        post.body = *body;
        post.status = long(entry.value("response"_L1).toObject().value("status"_L1).toInteger());
        if (post.url.isEmpty())
            return refused(u"HAR 文件的第 %1 项没有请求地址（request.url）：文件不完整，请重新导出"_s.arg(i + 1));
        import.posts.append(post);
    }
    if (import.posts.isEmpty())
        import.problem = u"HAR 文件里没有 POST 请求（共 %1 项，都不是 POST），没有可重发的推送。请在导出前先发送一次推送"_s
                             .arg(import.entryCount);
    return import;
}

HarImport importHarFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refused(u"无法读取 HAR 文件 %1：%2"_s.arg(path, file.errorString()));
    return importHar(file.readAll());
}
