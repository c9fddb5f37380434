#include "exchange_window.h"

#include "http/curl_command.h"
#include "exchange_details.h"
#include "har/har_export.h"
#include "history/exchange_history.h"
#include "history/search_fields.h"
#include "history_bar.h"
#include "toolkit/message_box.h"
#include "toolkit/program_icon.h"
#include "toolkit/text_boxes.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSaveFile>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>
#include <tuple>
#include <utility>

namespace {

// A body's start can be one line of a quarter of a megabyte: held in pieces
// like the result window's text, it is laid out as it comes into view.
MultiLineTextBox *bodyView(const QString &accessibleName)
{
    auto *view = new MultiLineTextBox;
    view->setReadOnly(true);
    view->showScrollBarsAsNeeded();
    view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    view->setAccessibleName(accessibleName);
    return view;
}

QGroupBox *boxAround(const QString &title, QWidget *inside)
{
    auto *box = new QGroupBox(title);
    auto *layout = new QVBoxLayout(box);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(inside);
    return box;
}

} // namespace

ExchangeWindow::ExchangeWindow(QWidget *parent)
    : QWidget(parent, Qt::Window)
    , model_(new ExchangeListModel(this))
    , list_(new QTableView)
    , summary_(new QLabel)
    , hex_(new QCheckBox(QStringLiteral("十六进制")))
    , copyCurl_(new QPushButton(QStringLiteral("复制为 curl 命令")))
    , copied_(new QLabel)
    , request_(bodyView(QStringLiteral("发出的请求")))
    , requestBox_(boxAround(QStringLiteral("请求（发出的）"), request_))
    , answer_(bodyView(QStringLiteral("收到的应答")))
    , answerBox_(boxAround(QStringLiteral("应答（收到的）"), answer_))
    , timings_(new QLabel)
    , verdict_(new QListWidget)
    , historyBar_(new HistoryBar)
    , listMenu_(new QMenu(this))
{
    setObjectName(QStringLiteral("ExchangeWindow"));
    setWindowTitle(QStringLiteral("交互记录"));
    setWindowIcon(programIcon());

    list_->setObjectName(QStringLiteral("exchangeList"));
    list_->setAccessibleName(QStringLiteral("交互列表"));
    list_->setModel(model_);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    // Several can be chosen for 导出为 HAR; the current one is shown.
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setWordWrap(false);
    list_->verticalHeader()->hide();
    list_->horizontalHeader()->setStretchLastSection(false);
    list_->horizontalHeader()->setSectionResizeMode(ExchangeListModel::Url, QHeaderView::Stretch);
    for (int column : {ExchangeListModel::Time, ExchangeListModel::Method, ExchangeListModel::Elapsed,
                       ExchangeListModel::AnswerSize, ExchangeListModel::Verdict, ExchangeListModel::Retry})
        list_->horizontalHeader()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    list_->setColumnWidth(ExchangeListModel::Status, 160);
    list_->verticalHeader()->setDefaultSectionSize(list_->fontMetrics().height() + 6);
    listMenu_->setObjectName(QStringLiteral("exchangeListMenu"));
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list_, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        if (!listMenu_->isEmpty())
            listMenu_->popup(list_->viewport()->mapToGlobal(at));
    });

    summary_->setTextFormat(Qt::PlainText);
    summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    summary_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    summary_->installEventFilter(this); // elided anew to its width
    hex_->setToolTip(QStringLiteral("以十六进制显示正文的字节（偏移、十六进制、ASCII）"));
    copied_->setTextFormat(Qt::PlainText);
    timings_->setTextFormat(Qt::PlainText);
    timings_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    timings_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    verdict_->setAccessibleName(QStringLiteral("平台判定"));
    verdict_->setSelectionMode(QAbstractItemView::NoSelection);
    verdict_->setWordWrap(true);

    auto *head = new QHBoxLayout;
    head->addWidget(summary_, 1);
    head->addWidget(copied_);
    head->addWidget(hex_);
    head->addWidget(copyCurl_);

    auto *bodies = new QSplitter(Qt::Horizontal);
    bodies->addWidget(requestBox_);
    bodies->addWidget(answerBox_);

    auto *judged = new QSplitter(Qt::Horizontal);
    judged->addWidget(boxAround(QStringLiteral("耗时"), timings_));
    judged->addWidget(boxAround(QStringLiteral("平台判定"), verdict_));
    judged->setStretchFactor(0, 1);
    judged->setStretchFactor(1, 3);

    auto *detailSplit = new QSplitter(Qt::Vertical);
    detailSplit->addWidget(bodies);
    detailSplit->addWidget(judged);
    detailSplit->setStretchFactor(0, 3);
    detailSplit->setStretchFactor(1, 1);

    auto *detail = new QWidget;
    auto *detailLayout = new QVBoxLayout(detail);
    detailLayout->setContentsMargins(0, 0, 0, 0);
    detailLayout->addLayout(head);
    detailLayout->addWidget(detailSplit, 1);

    auto *listed = new QWidget;
    auto *listedLayout = new QVBoxLayout(listed);
    listedLayout->setContentsMargins(0, 0, 0, 0);
    listedLayout->addWidget(historyBar_);
    listedLayout->addWidget(list_, 1);

    auto *split = new QSplitter(Qt::Vertical);
    split->addWidget(listed);
    split->addWidget(detail);
    split->setChildrenCollapsible(false);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(split);
    resize(kWantedSize); // fitted to the screen as it is shown
    // A third for the list, the rest for the exchange; the bodies above the verdict.
    split->setSizes({210, 470});
    detailSplit->setSizes({300, 190});

    connect(list_->selectionModel(), &QItemSelectionModel::currentRowChanged, this, &ExchangeWindow::showSelected);
    connect(hex_, &QCheckBox::toggled, this, &ExchangeWindow::showSelected);
    connect(copyCurl_, &QPushButton::clicked, this, &ExchangeWindow::copyCurlCommand);
    connect(historyBar_, &HistoryBar::searchChanged, this, &ExchangeWindow::listFromHistory);
    connect(historyBar_, &HistoryBar::olderWanted, this, &ExchangeWindow::listOlder);
    connect(historyBar_, &HistoryBar::clearConfirmed, this, &ExchangeWindow::clearHistory);
    connect(historyBar_, &HistoryBar::exportWanted, this, &ExchangeWindow::exportHar);
    historyBar_->setMoreOlder(false);
    showSelected();
}

void ExchangeWindow::useHistory(ExchangeHistory &history)
{
    history_ = &history;
    listFromHistory();
}

void ExchangeWindow::listFromHistory()
{
    model_->clear();
    if (history_) {
        model_->groupsUsedUpTo(history_->lastGroup());
        const QList<JournalEntry> page = history_->page(historyBar_->search(), 0, ExchangeJournal::kKept);
        historyBar_->setMoreOlder(page.size() == ExchangeJournal::kKept);
        model_->addOlder(page);
        historyBar_->showProblem(history_->problem());
    }
    selectRow(0);
}

void ExchangeWindow::listOlder()
{
    if (!history_)
        return;
    const QList<JournalEntry> page = history_->page(historyBar_->search(), model_->rowCount(), ExchangeJournal::kKept);
    historyBar_->setMoreOlder(page.size() == ExchangeJournal::kKept);
    model_->addOlder(page);
}

void ExchangeWindow::clearHistory()
{
    if (history_ && !history_->clear())
        showMessage(this, history_->problem());
    model_->clear();
    historyBar_->setMoreOlder(false);
    showSelected();
}

void ExchangeWindow::exportHar(const QString &file, bool all)
{
    QList<HarExchange> exchanges;
    const auto take = [&exchanges](const JournalEntry &entry) {
        exchanges.prepend({entry.record, entry.whole.answer}); // oldest first, as HAR files run
    };
    if (all && history_) {
        for (const JournalEntry &entry : history_->page(historyBar_->search(), 0, std::numeric_limits<int>::max()))
            take(entry);
    } else {
        const QModelIndexList rows = list_->selectionModel()->selectedRows();
        QList<int> numbers;
        for (const QModelIndex &row : rows)
            numbers.append(row.row());
        if (all)
            for (int row = 0; row < model_->rowCount(); ++row)
                numbers.append(row);
        std::sort(numbers.begin(), numbers.end());
        for (int row : numbers)
            take(model_->journal().at(row));
    }
    if (exchanges.isEmpty()) {
        showMessage(this, QStringLiteral("没有可导出的交互：先在列表里选中要导出的交互。"));
        return;
    }
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(harFile(exchanges)) < 0 || !out.commit())
        showMessage(this, QStringLiteral("无法写入 %1：%2\n换一个文件夹再导出。").arg(QDir::toNativeSeparators(file), out.errorString()));
}

quint64 ExchangeWindow::add(JournalEntry entry)
{
    if (history_) {
        noteWholeSizes(entry);
        entry.historyId = history_->add(entry);
        historyBar_->showProblem(history_->problem());
        if (!matchesSearch(searchFieldsOf(entry), historyBar_->search()))
            return 0;
    }
    // Following the newest unless the user went back to an older one.
    const int current = list_->currentIndex().isValid() ? list_->currentIndex().row() : -1;
    const quint64 serial = model_->add(std::move(entry));
    // (The oldest, selected, may have made room for it.)
    if (current <= 0 || !list_->currentIndex().isValid())
        selectRow(0);
    return serial;
}

bool ExchangeWindow::selectSerial(quint64 serial)
{
    const qsizetype row = model_->journal().rowOf(serial);
    if (row < 0)
        return false;
    selectRow(int(row));
    return true;
}

void ExchangeWindow::selectRow(int row)
{
    const QModelIndex index = model_->index(row, 0);
    if (list_->currentIndex() == index)
        showSelected();
    else
        list_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

const JournalEntry *ExchangeWindow::selectedEntry() const
{
    const QModelIndex current = list_->currentIndex();
    if (!current.isValid() || current.row() >= model_->journal().size())
        return nullptr;
    return &model_->journal().at(current.row());
}

QString ExchangeWindow::groupNote(const JournalEntry &entry) const
{
    if (!entry.group)
        return {};
    // Whether the endpoint answered each try of the same push alike.
    QList<const JournalEntry *> tries;
    const ExchangeJournal &journal = model_->journal();
    for (qsizetype i = 0; i < journal.size(); ++i) {
        if (journal.at(i).group == entry.group)
            tries.prepend(&journal.at(i));
    }
    QString note = QStringLiteral("模拟重试第 %1 次").arg(entry.tryNumber);
    if (tries.size() < 2)
        return note;
    const auto answerOf = [](const JournalEntry *e) {
        return std::tuple(e->record.status(), e->whole.answer.value(e->whole.answer.size() - 1, -1), e->answerFingerprint);
    };
    const bool alike = std::all_of(tries.begin(), tries.end(),
                                   [&](const JournalEntry *e) { return answerOf(e) == answerOf(tries.first()); });
    return note + (alike ? QStringLiteral("；本组 %1 次的应答相同").arg(tries.size())
                         : QStringLiteral("；本组 %1 次的应答不同").arg(tries.size()));
}

void ExchangeWindow::showEvent(QShowEvent *event)
{
    if (std::exchange(selectionUnshown_, false))
        showSelected();
    QWidget::showEvent(event);
}

bool ExchangeWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == summary_ && event->type() == QEvent::Resize)
        showSummary(wholeSummary_);
    return QWidget::eventFilter(watched, event);
}

void ExchangeWindow::showSummary(const QString &summary)
{
    // A long URL is cut at the end, where the query is; the whole line is the tooltip.
    wholeSummary_ = summary;
    const int room = summary_->contentsRect().width();
    summary_->setText(room > 0 ? summary_->fontMetrics().elidedText(summary, Qt::ElideRight, room) : summary);
    summary_->setToolTip(summary);
}

void ExchangeWindow::showSelected()
{
    // Every post is listed as it ends, most often with the window hidden:
    // its bodies are laid out when there is someone to see them.
    if (!isVisible()) {
        selectionUnshown_ = true;
        return;
    }
    copied_->clear();
    const JournalEntry *entry = selectedEntry();
    request_->setWrapsLines(!hex_->isChecked());
    answer_->setWrapsLines(!hex_->isChecked());
    verdict_->clear();
    if (!entry) {
        showSummary(QStringLiteral("还没有交互：发出一次推送后，这里会列出它。"));
        request_->clear();
        answer_->clear();
        timings_->clear();
        copyCurl_->setEnabled(false);
        answerBox_->setTitle(QStringLiteral("应答（收到的）"));
        return;
    }
    const ExchangeRecord &record = entry->record;
    QString summary = QStringLiteral("%1  %2 %3").arg(record.started.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                                                      record.method, record.url);
    const QString group = groupNote(*entry);
    if (!group.isEmpty())
        summary += QStringLiteral("  （") + group + QStringLiteral("）");
    showSummary(summary);

    request_->setText(shownRequest(*entry, hex_->isChecked()));
    answer_->setText(shownAnswer(*entry, hex_->isChecked()));
    answerBox_->setTitle(record.decodingUsed.isEmpty() || hex_->isChecked()
                             ? QStringLiteral("应答（收到的）")
                             : QStringLiteral("应答（收到的，按 %1 解码）").arg(record.decodingUsed));
    timings_->setText(shownTimings(record));

    for (const VerdictLine &line : entry->verdict) {
        auto *item = new QListWidgetItem(verdictLineText(line), verdict_);
        item->setForeground(verdictLineColour(line));
    }
    if (entry->verdict.isEmpty())
        new QListWidgetItem(record.cancelled ? QStringLiteral("已取消：没有判定") : QStringLiteral("没有判定"), verdict_);

    const bool curlable = curlCommandFor(*entry).has_value();
    copyCurl_->setEnabled(curlable);
    copyCurl_->setToolTip(curlable ? QStringLiteral("把重发这个请求的 curl 命令放到剪贴板")
                                   : QStringLiteral("这个请求没有发出，或它的正文只保留了开头"));
}

void ExchangeWindow::copyCurlCommand()
{
    const JournalEntry *entry = selectedEntry();
    if (!entry)
        return;
    if (const std::optional<QString> command = curlCommandFor(*entry)) {
        QApplication::clipboard()->setText(*command);
        copied_->setText(QStringLiteral("已复制"));
    }
}

std::optional<QString> curlCommandFor(const JournalEntry &entry)
{
    const ExchangeRecord &record = entry.record;
    if (record.hops.isEmpty() || record.hops.constFirst().requestHead.isEmpty())
        return std::nullopt;
    const ExchangeHop &first = record.hops.constFirst();
    if (first.requestBody.size() != entry.whole.request.value(0, first.requestBody.size()))
        return std::nullopt;
    return curlCommand(record.url, first.requestBody,
                       headField(first.requestHead, "Content-Type").value_or(QByteArray()));
}
