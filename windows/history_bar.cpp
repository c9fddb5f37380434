#include "history_bar.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

bool askToClear(QWidget *parent)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("清空记录"),
                    QStringLiteral("清空全部交互记录？\n保存在历史文件里的交互也会一起删除，无法恢复。"),
                    QMessageBox::Yes | QMessageBox::Cancel, parent);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("清空"));
    box.button(QMessageBox::Cancel)->setText(QStringLiteral("取消"));
    box.setDefaultButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Yes;
}

QString askForHarFile(QWidget *parent)
{
    return QFileDialog::getSaveFileName(parent, QStringLiteral("导出为 HAR"), QStringLiteral("veltrane.har"),
                                        QStringLiteral("HAR 文件 (*.har);;所有文件 (*)"));
}

QString askForHarToImport(QWidget *parent)
{
    return QFileDialog::getOpenFileName(parent, QStringLiteral("从 HAR 导入"), QString(),
                                        QStringLiteral("HAR 文件 (*.har);;所有文件 (*)"));
}

} // namespace

HistoryBar::HistoryBar(QWidget *parent)
    : QWidget(parent)
    , confirmClear(askToClear)
    , chooseHarFile(askForHarFile)
    , chooseHarToImport(askForHarToImport)
    , search_(new QLineEdit)
    , older_(new QPushButton(QStringLiteral("更早的")))
    , export_(new QPushButton(QStringLiteral("导出为 HAR…")))
    , import_(new QPushButton(QStringLiteral("从 HAR 导入…")))
    , clear_(new QPushButton(QStringLiteral("清空记录")))
    , problem_(new QLabel)
{
    search_->setObjectName(QStringLiteral("historySearch"));
    search_->setAccessibleName(QStringLiteral("搜索交互"));
    search_->setPlaceholderText(QStringLiteral("搜索：地址、判定、MsgType、状态或正文中的文字"));
    search_->setClearButtonEnabled(true);
    older_->setObjectName(QStringLiteral("olderExchanges"));
    older_->setToolTip(QStringLiteral("再列出更早的 200 条交互"));
    export_->setObjectName(QStringLiteral("exportHar"));
    import_->setObjectName(QStringLiteral("importHar"));
    import_->setToolTip(QStringLiteral("列出一个 HAR 文件里的 POST 请求，选一个重发"));
    clear_->setObjectName(QStringLiteral("clearHistory"));
    problem_->setObjectName(QStringLiteral("historyProblem"));
    problem_->setWordWrap(true);
    problem_->setTextFormat(Qt::PlainText);
    problem_->setStyleSheet(QStringLiteral("color: #a85d00"));
    problem_->hide();

    auto *exportMenu = new QMenu(export_);
    const auto exportTo = [this](bool all) {
        const QString file = chooseHarFile(window());
        if (!file.isEmpty())
            emit exportWanted(file, all);
    };
    exportMenu->addAction(QStringLiteral("导出所选的交互…"), this, [exportTo] { exportTo(false); })
        ->setObjectName(QStringLiteral("exportSelected"));
    exportMenu->addAction(QStringLiteral("导出找到的全部交互…"), this, [exportTo] { exportTo(true); })
        ->setObjectName(QStringLiteral("exportAll"));
    export_->setMenu(exportMenu);

    connect(search_, &QLineEdit::textChanged, this, &HistoryBar::searchChanged);
    connect(older_, &QPushButton::clicked, this, &HistoryBar::olderWanted);
    connect(import_, &QPushButton::clicked, this, &HistoryBar::askImport);
    connect(clear_, &QPushButton::clicked, this, [this] {
        if (confirmClear(window()))
            emit clearConfirmed();
    });

    auto *line = new QHBoxLayout;
    line->setContentsMargins(0, 0, 0, 0);
    line->addWidget(search_, 1);
    line->addWidget(older_);
    line->addWidget(export_);
    line->addWidget(import_);
    line->addWidget(clear_);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(line);
    layout->addWidget(problem_);
}

void HistoryBar::askImport()
{
    const QString file = chooseHarToImport(window());
    if (!file.isEmpty())
        emit importWanted(file);
}

QString HistoryBar::search() const
{
    return search_->text();
}

void HistoryBar::setMoreOlder(bool more)
{
    older_->setEnabled(more);
}

void HistoryBar::showProblem(const QString &problem)
{
    problem_->setText(problem);
    problem_->setVisible(!problem.isEmpty());
}
