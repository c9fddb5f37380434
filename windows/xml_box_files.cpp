#include "xml_box_files.h"

#include "form1.h"
#include "platform/user_samples.h"
#include "toolkit/handler_guard.h"
#include "toolkit/message_box.h"
#include "toolkit/text_boxes.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QMenu>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kFileFilter = u"推送正文 (*.xml *.json *.txt);;所有文件 (*)"_s;

} // namespace

XmlBoxFiles::XmlBoxFiles(Form1 &mainWindow, QMenu *moreSamples, const QString &samplesFolder, QObject *parent)
    : QObject(parent)
    , mainWindow_(mainWindow)
    , moreSamples_(moreSamples)
    , samplesFolder_(samplesFolder)
    , open_(new QAction(u"打开…"_s, this))
    , save_(new QAction(u"另存为…"_s, this))
    , saveSample_(new QAction(u"另存为样例…"_s, this))
    , mySamples_(new QMenu(u"我的样例"_s, &mainWindow))
{
    open_->setObjectName(u"openXmlFile"_s);
    save_->setObjectName(u"saveXmlFile"_s);
    saveSample_->setObjectName(u"saveAsSample"_s);
    mySamples_->setObjectName(u"mySamples"_s);
    open_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    save_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    for (QAction *action : actions()) {
        action->setShortcutVisibleInContextMenu(true);
        // The box's files: the keys work while the XML box has the focus.
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        mainWindow_.Text2()->addAction(action);
    }
    const auto guarded = [this](void (XmlBoxFiles::*handler)()) {
        return [this, handler] { runHandler(&mainWindow_, [this, handler] { (this->*handler)(); }); };
    };
    connect(open_, &QAction::triggered, this, guarded(&XmlBoxFiles::openFile));
    connect(save_, &QAction::triggered, this, guarded(&XmlBoxFiles::saveFile));
    connect(saveSample_, &QAction::triggered, this, guarded(&XmlBoxFiles::saveAsSample));
    // Made after the family's samples are: the folder may have changed by hand.
    connect(moreSamples_, &QMenu::aboutToShow, this, &XmlBoxFiles::fillMySamples);

    chooseFile_ = [this](bool save) {
        return save ? QFileDialog::getSaveFileName(&mainWindow_, u"另存为"_s, lastFile_, kFileFilter)
                    : QFileDialog::getOpenFileName(&mainWindow_, u"打开"_s, lastFile_, kFileFilter);
    };
    askName_ = [this](const QString &prompt, const QString &suggested) -> std::optional<QString> {
        bool ok = false;
        const QString name =
            QInputDialog::getText(&mainWindow_, u"另存为样例"_s, prompt, QLineEdit::Normal, suggested, &ok);
        return ok ? std::optional(name) : std::nullopt;
    };
    showMessage_ = [this](const QString &message) { showMessage(&mainWindow_, message); };
}

void XmlBoxFiles::openFile()
{
    const QString file = chooseFile_(false);
    if (file.isEmpty())
        return;
    lastFile_ = file;
    load(file);
}

void XmlBoxFiles::load(const QString &file)
{
    const SampleText read = readSampleFile(file);
    if (!read.ok()) {
        showMessage_(read.problem);
        return;
    }
    mainWindow_.Text2()->replaceText(read.text);
}

void XmlBoxFiles::saveFile()
{
    const QString file = chooseFile_(true);
    if (file.isEmpty())
        return;
    lastFile_ = file;
    // The bytes a post of the box sends.
    if (const QString problem = writeTextFile(file, mainWindow_.Text2()->text()); !problem.isEmpty())
        showMessage_(problem);
}

void XmlBoxFiles::saveAsSample()
{
    const QString prompt = u"样例名称（保存到 %1，同名的样例会被替换）："_s.arg(QDir::toNativeSeparators(samplesFolder_));
    QString name;
    // Asked again after a refused name, with that name to correct.
    for (;;) {
        const std::optional<QString> asked = askName_(prompt, name);
        if (!asked)
            return;
        name = *asked;
        const UserSampleSave save = saveUserSample(samplesFolder_, name, mainWindow_.Text2()->text());
        if (save.problem.isEmpty())
            return;
        showMessage_(save.problem);
    }
}

void XmlBoxFiles::fillMySamples()
{
    mySamples_->clear();
    const QList<UserSample> samples = userSamples(samplesFolder_);
    for (const UserSample &sample : samples) {
        connect(mySamples_->addAction(sample.name), &QAction::triggered, this,
                [this, file = sample.file] { runHandler(&mainWindow_, [this, file] { load(file); }); });
    }
    if (samples.isEmpty())
        mySamples_->addAction(u"（还没有：用 XML 框的“另存为样例…”保存）"_s)->setEnabled(false);
    // Last in the menu, however the family's entries were made again.
    moreSamples_->removeAction(mySamples_->menuAction());
    moreSamples_->addMenu(mySamples_);
}
