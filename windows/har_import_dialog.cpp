#include "har_import_dialog.h"

#include "toolkit/program_icon.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFontDatabase>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

enum Column { Number, Started, Url, Status, BodySize, ColumnCount };

// A body of megabytes would take the preview seconds to lay out; the send takes it whole.
constexpr qsizetype kPreviewBytes = 64 * 1024;

QTableWidgetItem *cell(const QString &text)
{
    auto *item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return item;
}

} // namespace

HarImportDialog::HarImportDialog(QWidget *parent)
    : QDialog(parent)
    , source_(new QLabel)
    , entries_(new QTableWidget(0, ColumnCount))
    , body_(new QPlainTextEdit)
    , url_(new QLineEdit)
    , note_(new QLabel)
    , asRecorded_(new QPushButton(QStringLiteral("原样重发")))
    , resigned_(new QPushButton(QStringLiteral("重新签名后发送")))
{
    setObjectName(QStringLiteral("HarImportDialog"));
    setWindowTitle(QStringLiteral("从 HAR 导入"));
    setWindowIcon(programIcon());
    setSizeGripEnabled(true);

    source_->setTextFormat(Qt::PlainText);
    source_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    entries_->setObjectName(QStringLiteral("harEntries"));
    entries_->setAccessibleName(QStringLiteral("HAR 里的 POST 请求"));
    entries_->setHorizontalHeaderLabels(
        {QStringLiteral("序号"), QStringLiteral("时间"), QStringLiteral("地址"), QStringLiteral("状态"), QStringLiteral("正文")});
    entries_->setSelectionBehavior(QAbstractItemView::SelectRows);
    entries_->setSelectionMode(QAbstractItemView::SingleSelection);
    entries_->setWordWrap(false);
    entries_->verticalHeader()->hide();
    entries_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    entries_->horizontalHeader()->setSectionResizeMode(Url, QHeaderView::Stretch);
    body_->setObjectName(QStringLiteral("harBody"));
    body_->setAccessibleName(QStringLiteral("请求正文"));
    body_->setReadOnly(true);
    body_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    url_->setObjectName(QStringLiteral("harUrl"));
    url_->setAccessibleName(QStringLiteral("发往的地址"));
    url_->setPlaceholderText(QStringLiteral("留空：发往记录里的地址"));
    url_->setClearButtonEnabled(true);
    note_->setObjectName(QStringLiteral("harNote"));
    note_->setTextFormat(Qt::PlainText);
    note_->setWordWrap(true);
    asRecorded_->setObjectName(QStringLiteral("harSendAsRecorded"));
    asRecorded_->setToolTip(QStringLiteral("照记录的字节发出，签名参数也不变：看接收端怎样对待重放的请求"));
    resigned_->setObjectName(QStringLiteral("harSendResigned"));
    resigned_->setToolTip(QStringLiteral("同样的正文，按当前的接入设置换上新的时间戳、随机数和签名"));

    auto *split = new QSplitter(Qt::Vertical);
    split->addWidget(entries_);
    split->addWidget(body_);
    split->setChildrenCollapsible(false);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 1);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("关闭"));
    buttons->addButton(asRecorded_, QDialogButtonBox::ActionRole);
    buttons->addButton(resigned_, QDialogButtonBox::ActionRole);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    // Enter in the address box neither sends nor closes: each send is a click.
    for (QAbstractButton *button : buttons->buttons()) {
        if (auto *push = qobject_cast<QPushButton *>(button))
            push->setAutoDefault(false);
    }

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("发往："), url_);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(source_);
    layout->addWidget(split, 1);
    layout->addLayout(form);
    layout->addWidget(note_);
    layout->addWidget(buttons);
    resize(760, 520);

    connect(entries_, &QTableWidget::itemSelectionChanged, this, &HarImportDialog::showChosen);
    const auto send = [this](bool resign) {
        if (chosenEntry() >= 0)
            emit sendWanted(chosenEntry(), resign, urlTyped());
    };
    connect(asRecorded_, &QPushButton::clicked, this, [send] { send(false); });
    connect(resigned_, &QPushButton::clicked, this, [send] { send(true); });
    showChosen();
}

void HarImportDialog::setFile(const QString &file, const QList<Row> &rows)
{
    file_ = file;
    rows_ = rows;
    source_->setText(QStringLiteral("%1：%2 个 POST 请求").arg(QDir::toNativeSeparators(file)).arg(rows.size()));
    source_->setToolTip(QDir::toNativeSeparators(file));
    note_->clear();
    entries_->setRowCount(0);
    entries_->setRowCount(int(rows.size()));
    for (int i = 0; i < rows.size(); ++i) {
        const Row &row = rows.at(i);
        entries_->setItem(i, Number, cell(QString::number(row.entry + 1)));
        entries_->setItem(i, Started, cell(row.started));
        entries_->setItem(i, Url, cell(row.url));
        entries_->setItem(i, Status, cell(row.status ? QString::number(row.status) : QStringLiteral("—")));
        entries_->setItem(i, BodySize, cell(QStringLiteral("%1 字节").arg(row.body.size())));
        entries_->item(i, Url)->setToolTip(row.url);
    }
    if (!rows.isEmpty())
        entries_->selectRow(0);
    showChosen();
}

int HarImportDialog::chosenEntry() const
{
    const int row = entries_->currentRow();
    if (row < 0 || row >= rows_.size() || entries_->selectedItems().isEmpty())
        return -1;
    return rows_.at(row).entry;
}

void HarImportDialog::chooseEntry(int entry)
{
    for (int i = 0; i < rows_.size(); ++i) {
        if (rows_.at(i).entry == entry)
            entries_->selectRow(i);
    }
}

QString HarImportDialog::urlTyped() const
{
    return url_->text().trimmed();
}

void HarImportDialog::showNote(const QString &note)
{
    note_->setText(note);
}

void HarImportDialog::showChosen()
{
    const int row = entries_->currentRow();
    const bool chosen = row >= 0 && row < rows_.size() && !entries_->selectedItems().isEmpty();
    asRecorded_->setEnabled(chosen);
    resigned_->setEnabled(chosen);
    if (!chosen) {
        body_->clear();
        return;
    }
    const QByteArray &body = rows_.at(row).body;
    QString shown = QString::fromUtf8(body.left(kPreviewBytes));
    if (body.size() > kPreviewBytes)
        shown += QStringLiteral("\n…（只显示开头的 %1 KB，发送时是整个正文）").arg(kPreviewBytes / 1024);
    body_->setPlainText(shown);
}
