#include "push_message.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

using namespace Qt::Literals::StringLiterals;

namespace {

// A number keeps its digits (MsgId needs all 64 bits); nested values are
// kept as compact JSON.
QString fieldText(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::String:
        return value.toString();
    case QJsonValue::Double:
        return value.toVariant().toString();
    case QJsonValue::Bool:
        return value.toBool() ? u"true"_s : u"false"_s;
    case QJsonValue::Object:
        return QString::fromUtf8(QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact));
    case QJsonValue::Array:
        return QString::fromUtf8(QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact));
    default:
        return {};
    }
}

} // namespace

std::variant<PushMessage, PushRejection> ParseJsonPushMessage(const QByteArray &body)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError)
        return PushRejection{u"正文不是格式正确的 JSON（第 %1 个字节处：%2）"_s.arg(error.offset).arg(error.errorString())};
    if (!document.isObject())
        return PushRejection{u"JSON 推送应为一个对象 {…}"_s};
    PushMessage message;
    const QJsonObject object = document.object();
    for (auto it = object.begin(); it != object.end(); ++it)
        message.fields.insert(it.key(), fieldText(it.value()));
    if (auto rejection = CheckPushFields(message))
        return *rejection;
    return message;
}
