#include "http/url_query.h"

#include <QStringList>
#include <QUrl>

namespace {

QString decodedName(const QString &pair)
{
    QString name = pair.left(pair.indexOf(u'='));
    name.replace(u'+', u' ');
    return QUrl::fromPercentEncoding(name.toUtf8());
}

QString encoded(const QString &text)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(text));
}

} // namespace

QString withQueryParameters(const QString &url, const QList<std::pair<QString, QString>> &parameters)
{
    const qsizetype hash = url.indexOf(u'#');
    const QString fragment = hash < 0 ? QString() : url.mid(hash);
    const QString beforeFragment = hash < 0 ? url : url.left(hash);
    const qsizetype question = beforeFragment.indexOf(u'?');
    const QString base = question < 0 ? beforeFragment : beforeFragment.left(question);
    const QStringList typed = question < 0 ? QStringList() : beforeFragment.mid(question + 1).split(u'&');

    QStringList query;
    for (const QString &pair : typed) {
        if (pair.isEmpty())
            continue;
        const QString name = decodedName(pair);
        const bool ours = std::any_of(parameters.cbegin(), parameters.cend(),
                                      [&](const auto &parameter) { return parameter.first == name; });
        if (!ours)
            query.append(pair);
    }
    for (const auto &[name, value] : parameters)
        query.append(encoded(name) + u'=' + encoded(value));
    return base + u'?' + query.join(u'&') + fragment;
}
