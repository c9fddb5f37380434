#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class Form1;
class QAction;
class QMenu;

// The XML box's files: "打开…" (Ctrl+O) and "另存为…" (Ctrl+S) read and write
// the box as the bytes a post sends (UTF-8), "另存为样例…" keeps it in the
// user's samples folder, and "我的样例" at the end of "载入更多样例" loads
// those back. A file that would not come back byte for byte is refused and
// the box keeps what it holds.
class XmlBoxFiles : public QObject {
    Q_OBJECT
public:
    // A path chosen for reading (save false) or writing; empty: cancelled.
    using FileChooser = std::function<QString(bool save)>;
    // A sample's name, asked with this prompt and suggestion; none: cancelled.
    using NameAsker = std::function<std::optional<QString>(const QString &prompt, const QString &suggested)>;
    using MessageShower = std::function<void(const QString &message)>;

    XmlBoxFiles(Form1 &mainWindow, QMenu *moreSamples, const QString &samplesFolder, QObject *parent = nullptr);

    // "打开…", "另存为…", "另存为样例…", for the XML box's menu.
    QList<QAction *> actions() const { return {open_, save_, saveSample_}; }
    QMenu *mySamplesMenu() const { return mySamples_; }

    // Test seams; the defaults are Qt's file and input dialogs and a message box.
    void setFileChooser(FileChooser chooser) { chooseFile_ = std::move(chooser); }
    void setNameAsker(NameAsker asker) { askName_ = std::move(asker); }
    void setMessageShower(MessageShower shower) { showMessage_ = std::move(shower); }

public slots:
    void openFile();
    void saveFile();
    void saveAsSample();

private:
    void fillMySamples();
    void load(const QString &file);

    Form1 &mainWindow_;
    QMenu *const moreSamples_;
    const QString samplesFolder_;
    QAction *const open_;
    QAction *const save_;
    QAction *const saveSample_;
    QMenu *const mySamples_;
    FileChooser chooseFile_;
    NameAsker askName_;
    MessageShower showMessage_;
    QString lastFile_; // where the dialogs start next
};
