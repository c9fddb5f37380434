#include "http/library_words.h"

#include <QRegularExpression>
#include <QXmlStreamReader>

#include <utility>

using namespace Qt::Literals::StringLiterals;

namespace {

struct Words {
    QString english; // the start of the library's text
    QString chinese;
};

// Qt's XML reader's texts; a %1 in the English stands for a name it quotes.
const QList<Words> &xmlWords()
{
    static const QList<Words> words = {
        {u"Premature end of document."_s, u"文档提前结束：元素没有闭合，或者答复被截断了"_s},
        {u"Start tag expected."_s, u"应以开始标签（如 <xml>）开头，这里却是别的文字"_s},
        {u"Opening and ending tag mismatch."_s, u"开始标签与结束标签不配对"_s},
        {u"Extra content at end of document."_s, u"根元素结束之后还有多余的内容"_s},
        {u"Unexpected character."_s, u"出现了不该出现的字符"_s},
        {u"Invalid XML character."_s, u"含有 XML 不允许的字符"_s},
        {u"Invalid XML name."_s, u"元素或属性的名字无效"_s},
        {u"Invalid entity value."_s, u"实体的值无效"_s},
        {u"Invalid character reference."_s, u"字符引用（&#…;）无效"_s},
        {u"Encountered incorrectly encoded content."_s, u"内容的编码不对"_s},
        {u"Sequence ']]>' not allowed in content."_s, u"内容里不允许出现“]]>”"_s},
        {u"Invalid document."_s, u"文档无效"_s},
        {u"Invalid processing instruction name."_s, u"处理指令的名字无效"_s},
        {u"Unsupported XML version."_s, u"不支持的 XML 版本"_s},
        {u"Invalid XML version string."_s, u"XML 版本号无效"_s},
        {u"Standalone accepts only yes or no."_s, u"standalone 只能是 yes 或 no"_s},
        {u"Invalid attribute in XML declaration."_s, u"XML 声明里的属性无效"_s},
        {u"Recursive entity detected."_s, u"实体递归引用了自己"_s},
        {u"Illegal namespace declaration."_s, u"命名空间声明无效"_s},
        {u"Reference to undeclared entity"_s, u"引用了没有声明的实体"_s},
        {u"Entity '%1' not declared."_s, u"实体“%1”没有声明"_s},
        {u"Namespace prefix '%1' not declared"_s, u"命名空间前缀“%1”没有声明"_s},
        {u"Attribute '%1' redefined."_s, u"属性“%1”重复"_s},
        {u"Unexpected '%1'."_s, u"这里不该出现“%1”"_s},
        {u"Expected character data."_s, u"这里应是文字内容"_s},
    };
    return words;
}

// QUrl's texts, matched by their start.
const QList<Words> &urlWords()
{
    static const QList<Words> words = {
        {u"Invalid hostname"_s, u"主机名无效"_s},
        {u"Invalid IPv6 address"_s, u"IPv6 地址无效"_s},
        {u"Invalid IPvFuture address"_s, u"方括号里的地址无效"_s},
        {u"Expected ']' to match '[' in hostname"_s, u"主机名里的“[”没有配对的“]”"_s},
        {u"Invalid port or port number out of range"_s, u"端口无效或超出范围（应为 1 到 65535）"_s},
        {u"Port field was empty"_s, u"冒号后面没有端口号"_s},
        {u"Invalid user name"_s, u"用户名部分无效"_s},
        {u"Invalid password"_s, u"密码部分无效"_s},
        {u"Invalid path"_s, u"路径无效"_s},
        {u"Invalid query"_s, u"查询参数无效"_s},
        {u"Invalid fragment"_s, u"“#”之后的部分无效"_s},
        {u"Invalid scheme"_s, u"协议名（“://”之前的部分）无效"_s},
        {u"Path component is relative and authority is present"_s, u"有主机名时路径须以“/”开头"_s},
        {u"Relative URL's path component contains ':' before any '/'"_s, u"路径在“/”之前含有“:”"_s},
        {u"Path component starts with '//' and authority is absent"_s, u"没有主机名，路径却以“//”开头"_s},
    };
    return words;
}

// QFile's own texts and the system's that it passes on.
const QList<Words> &fileWords()
{
    static const QList<Words> words = {
        {u"file to open is a directory"_s, u"这是一个文件夹，不是文件"_s},
        {u"Is a directory"_s, u"这是一个文件夹，不是文件"_s},
        {u"No such file or directory"_s, u"文件不存在"_s},
        {u"Permission denied"_s, u"没有读取它的权限"_s},
        {u"No file name specified"_s, u"没有给出文件名"_s},
    };
    return words;
}

// The known Chinese for the text, with the quoted name put in; empty: not known.
QString known(const QList<Words> &table, const QString &text)
{
    for (const Words &words : table) {
        const qsizetype hole = words.english.indexOf(u"%1"_s);
        if (hole < 0) {
            if (text.startsWith(words.english))
                return words.chinese;
            continue;
        }
        const QString before = words.english.left(hole), after = words.english.mid(hole + 2);
        if (text.startsWith(before) && text.endsWith(after) && text.size() >= before.size() + after.size())
            return words.chinese.arg(text.mid(before.size(), text.size() - before.size() - after.size()));
    }
    return {};
}

} // namespace

QString xmlErrorInChinese(const QString &qtWords)
{
    const QString text = qtWords.simplified();
    if (const QString chinese = known(xmlWords(), text); !chinese.isEmpty())
        return chinese;
    static const QRegularExpression expected(u"^Expected (.+), but got '(.*)'\\.?$"_s);
    if (const QRegularExpressionMatch match = expected.match(text); match.hasMatch())
        return u"这里应是 %1，却是“%2”"_s.arg(match.captured(1), match.captured(2));
    return u"XML 格式有误（%1）"_s.arg(text);
}

QString xmlProblem(const QXmlStreamReader &reader)
{
    return u"第 %1 行第 %2 列：%3"_s.arg(reader.lineNumber()).arg(reader.columnNumber()).arg(xmlErrorInChinese(reader.errorString()));
}

QString urlErrorInChinese(const QString &qtWords)
{
    const QString chinese = known(urlWords(), qtWords);
    if (chinese.isEmpty())
        return u"地址的写法有误（%1）"_s.arg(qtWords);
    // The character it refused, where it names one.
    static const QRegularExpression refused(u"character '(.+?)' not permitted"_s);
    if (const QRegularExpressionMatch match = refused.match(qtWords); match.hasMatch())
        return u"%1：不允许字符“%2”"_s.arg(chinese, match.captured(1));
    return chinese;
}

QString fileErrorInChinese(const QString &qtWords)
{
    const QString chinese = known(fileWords(), qtWords);
    return chinese.isEmpty() ? u"读写文件出错（%1）"_s.arg(qtWords) : chinese;
}
