#include "qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace {

// Where Qt's translation chose a variant the rest of the program does not
// use: the boxes' menu says 撤销, as Chinese desktops do, not 撤消.
class WordChoices : public QTranslator {
public:
    using QTranslator::QTranslator;

    QString translate(const char *, const char *sourceText, const char *, int) const override
    {
        if (qstrcmp(sourceText, "&Undo") == 0)
            return QStringLiteral("撤销(&U)");
        return {};
    }
    bool isEmpty() const override { return false; }
};

} // namespace

bool loadQtChineseTranslations(QCoreApplication &app)
{
    // Owned by the application, which uses them as long as it runs.
    auto *translator = new QTranslator(&app);
    if (!translator->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    // The last installed is asked first.
    return QCoreApplication::installTranslator(translator)
        && QCoreApplication::installTranslator(new WordChoices(&app));
}
