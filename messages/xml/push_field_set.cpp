#include "push_field_set.h"

#include "platform/json_fields.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QStringList>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

bool isNumber(const QString &text)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(u"[%1]"_s.arg(text).toUtf8(), &error);
    return error.error == QJsonParseError::NoError && document.array().size() == 1 && document.array().at(0).isDouble();
}

bool allDigits(const QString &text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

// ---- XML ----

QString xmlEscaped(const QString &text)
{
    QString escaped = text;
    return escaped.replace(u'&', u"&amp;"_s).replace(u'<', u"&lt;"_s).replace(u'>', u"&gt;"_s);
}

// A CDATA section cannot hold "]]>": it is split across two sections.
QString cdata(const QString &text)
{
    QString inner = text;
    return u"<![CDATA["_s + inner.replace(u"]]>"_s, u"]]]]><![CDATA[>"_s) + u"]]>"_s;
}

struct Span {
    qsizetype begin = -1; // of the element's content
    qsizetype end = -1;   // where its closing tag starts
};

// The first element called `name` between from and to, by its content.
std::optional<Span> findElement(const QString &body, const QString &name, qsizetype from, qsizetype to)
{
    const QString open = u'<' + name;
    for (qsizetype at = body.indexOf(open, from); at >= 0 && at < to; at = body.indexOf(open, at + 1)) {
        const qsizetype after = at + open.size();
        if (after >= to)
            return std::nullopt;
        const QChar next = body.at(after);
        if (next != u'>' && next != u' ' && next != u'/' && next != u'\t' && next != u'\n' && next != u'\r')
            continue; // a longer name that starts the same
        const qsizetype close = body.indexOf(u'>', after);
        if (close < 0 || close >= to)
            return std::nullopt;
        if (body.at(close - 1) == u'/') // <Name/>: empty, rewritten as a pair by the caller
            return Span{close + 1, -close - 1};
        const qsizetype end = body.indexOf(u"</"_s + name + u'>', close + 1);
        if (end < 0 || end >= to)
            return std::nullopt;
        return Span{close + 1, end};
    }
    return std::nullopt;
}

// The root element's content, after any declaration and comments.
std::optional<Span> rootContent(const QString &body, QString *rootName)
{
    qsizetype at = body.indexOf(u'<');
    while (at >= 0 && at + 1 < body.size() && (body.at(at + 1) == u'?' || body.at(at + 1) == u'!'))
        at = body.indexOf(u'<', at + 1);
    if (at < 0)
        return std::nullopt;
    qsizetype nameEnd = at + 1;
    while (nameEnd < body.size() && !QStringView(u" \t\r\n/>").contains(body.at(nameEnd)))
        ++nameEnd;
    *rootName = body.mid(at + 1, nameEnd - at - 1);
    const qsizetype open = body.indexOf(u'>', nameEnd);
    const qsizetype close = body.lastIndexOf(u"</"_s + *rootName);
    if (rootName->isEmpty() || open < 0 || close <= open)
        return std::nullopt;
    return Span{open + 1, close};
}

std::optional<QString> setXmlField(QString &body, const QStringList &path, const QString &value)
{
    QString rootName;
    std::optional<Span> within = rootContent(body, &rootName);
    if (!within)
        return u"正文不是一个完整的 XML 元素，找不到要设置的字段"_s;
    for (qsizetype i = 0; i < path.size(); ++i) {
        const QString &name = path[i];
        std::optional<Span> element = findElement(body, name, within->begin, within->end);
        const bool last = i + 1 == path.size();
        if (element && element->end < 0) { // <Name/>
            const qsizetype slash = -element->end - 2;
            body.replace(slash, 2, u"></"_s + name + u'>');
            element = Span{slash + 1, slash + 1};
        }
        if (!element) {
            if (!last)
                return u"推送里没有元素 <%1>，不能设置它里面的 %2"_s.arg(name, path.mid(i + 1).join(u'.'));
            const QString text = allDigits(value) ? value : cdata(value);
            body.insert(within->end, u'<' + name + u'>' + text + u"</"_s + name + u'>');
            return std::nullopt;
        }
        within = element;
    }
    const QString content = body.mid(within->begin, within->end - within->begin);
    const QString trimmed = content.trimmed();
    QString text;
    if (trimmed.startsWith(u"<![CDATA["_s) && trimmed.endsWith(u"]]>"_s))
        text = cdata(value);
    else if (trimmed.contains(u'<'))
        return u"元素 <%1> 里还有元素：设置其中一个，写成 %1.子元素=值"_s.arg(path.join(u'.'));
    else
        text = xmlEscaped(value);
    body.replace(within->begin, within->end - within->begin, text);
    return std::nullopt;
}

// ---- JSON, walked as text so that the order and spacing of every other member stay ----

qsizetype skipSpace(const QString &s, qsizetype i)
{
    while (i < s.size() && (s.at(i) == u' ' || s.at(i) == u'\t' || s.at(i) == u'\n' || s.at(i) == u'\r'))
        ++i;
    return i;
}

// Just past the value starting at i (the text is known to be valid JSON).
qsizetype valueEnd(const QString &s, qsizetype i)
{
    int depth = 0;
    bool inString = false;
    for (; i < s.size(); ++i) {
        const QChar c = s.at(i);
        if (inString) {
            if (c == u'\\')
                ++i;
            else if (c == u'"') {
                inString = false;
                if (depth == 0)
                    return i + 1;
            }
        } else if (c == u'"') {
            inString = true;
        } else if (c == u'{' || c == u'[') {
            ++depth;
        } else if (c == u'}' || c == u']') {
            if (depth == 0)
                return i;
            if (--depth == 0)
                return i + 1;
        } else if (depth == 0 && (c == u',' || c == u' ' || c == u'\n' || c == u'\r' || c == u'\t')) {
            return i;
        }
    }
    return i;
}

struct Member {
    qsizetype valueBegin = -1; // -1: not there
    qsizetype valueEnd = -1;
    qsizetype objectEnd = -1;  // the object's closing brace
    bool objectEmpty = true;
};

Member findMember(const QString &s, qsizetype objectBegin, const QString &key)
{
    Member found;
    qsizetype i = skipSpace(s, objectBegin + 1);
    while (i < s.size() && s.at(i) != u'}') {
        found.objectEmpty = false;
        const qsizetype keyEnd = valueEnd(s, i);
        const QString name = QJsonDocument::fromJson(u"[%1]"_s.arg(s.mid(i, keyEnd - i)).toUtf8()).array().at(0).toString();
        const qsizetype begin = skipSpace(s, skipSpace(s, keyEnd) + 1); // past the colon
        const qsizetype end = valueEnd(s, begin);
        if (name == key && found.valueBegin < 0) {
            found.valueBegin = begin;
            found.valueEnd = end;
        }
        i = skipSpace(s, end);
        if (i < s.size() && s.at(i) == u',')
            i = skipSpace(s, i + 1);
    }
    found.objectEnd = i;
    return found;
}

std::optional<QString> setJsonField(QString &body, const QStringList &path, const QString &value)
{
    QJsonParseError error;
    if (!QJsonDocument::fromJson(body.toUtf8(), &error).isObject())
        return u"正文不是 JSON 对象，不能按字段设置"_s;
    qsizetype object = skipSpace(body, 0);
    for (qsizetype i = 0; i < path.size(); ++i) {
        const Member member = findMember(body, object, path[i]);
        const bool last = i + 1 == path.size();
        if (member.valueBegin < 0) {
            if (!last)
                return u"推送里没有字段 %1，不能设置它里面的 %2"_s.arg(path.mid(0, i + 1).join(u'.'), path.mid(i + 1).join(u'.'));
            const QString text = allDigits(value) ? value : jsonString(value);
            body.insert(member.objectEnd, (member.objectEmpty ? QString() : u","_s) + jsonString(path[i]) + u':' + text);
            return std::nullopt;
        }
        const QChar first = body.at(member.valueBegin);
        if (!last) {
            if (first != u'{')
                return u"字段 %1 不是对象，不能再往下设置"_s.arg(path.mid(0, i + 1).join(u'.'));
            object = member.valueBegin;
            continue;
        }
        QString text;
        if (first == u'"')
            text = jsonString(value);
        else if (first == u'{' || first == u'[')
            return u"字段 %1 是对象或数组，只能设置它里面的字段"_s.arg(path.join(u'.'));
        else if (first == u't' || first == u'f')
            text = value == u"true" || value == u"false" ? value : QString();
        else if (first == u'n')
            text = jsonString(value);
        else
            text = isNumber(value) ? value : QString();
        if (text.isEmpty())
            return u"字段 %1 原来是%2，\"%3\" 不是"_s.arg(path.join(u'.'), first == u't' || first == u'f' ? u"true 或 false"_s : u"数字"_s, value);
        body.replace(member.valueBegin, member.valueEnd - member.valueBegin, text);
        return std::nullopt;
    }
    return std::nullopt;
}

} // namespace

std::optional<QString> setPushField(QString &body, const QString &assignment)
{
    const qsizetype equals = assignment.indexOf(u'=');
    const QStringList path = assignment.left(equals).split(u'.');
    if (equals <= 0 || path.contains(QString()))
        return u"字段应写成 名称=值，例如 Content=退订，不是 \"%1\""_s.arg(assignment);
    const QString value = assignment.mid(equals + 1);
    const QString start = body.trimmed();
    if (start.startsWith(u'{'))
        return setJsonField(body, path, value);
    if (start.startsWith(u'<'))
        return setXmlField(body, path, value);
    return u"正文既不是 XML 也不是 JSON，不能按字段设置"_s;
}

std::optional<QString> setPushFields(QString &body, const QStringList &assignments)
{
    QString changed = body;
    for (const QString &assignment : assignments) {
        if (std::optional<QString> misfit = setPushField(changed, assignment))
            return misfit;
    }
    body = changed;
    return std::nullopt;
}
