#include "replay_actions.h"

#include "exchange_list_model.h"
#include "exchange_window.h"
#include "har_import_dialog.h"
#include "history_bar.h"
#include "http/post_failure.h"
#include "toolkit/busy_cursor.h"
#include "toolkit/handler_guard.h"
#include "toolkit/message_box.h"

#include <QAction>
#include <QDir>
#include <QMenu>

#include <variant>

namespace {

QList<HarImportDialog::Row> dialogRows(const HarImport &imported)
{
    QList<HarImportDialog::Row> rows;
    for (const HarPostEntry &post : imported.posts) {
        const QString started = post.started.isValid()
                                    ? post.started.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                                    : QString();
        rows.append({post.entryIndex, started, post.url, post.status, post.body});
    }
    return rows;
}

QString outcomeLine(const PushPostOutcome &outcome)
{
    const ExchangeRecord &record = outcome.record;
    if (record.cancelled)
        return QStringLiteral("已取消。");
    if (record.failure)
        return QStringLiteral("没有应答：%1").arg(record.failure->description);
    return QStringLiteral("已发出：HTTP %1，%2。详情见交互记录。")
        .arg(record.status())
        .arg(verdictMarkText(verdictMark(outcome.verdict)));
}

} // namespace

ReplayActions::ReplayActions(Form1 &mainWindow, ExchangeWindow &window, PostRequestFactory createRequest,
                             AccessSource access, QObject *parent)
    : QObject(parent)
    , tell([](QWidget *parent, const QString &message) { showMessage(parent, message); })
    , mainWindow_(mainWindow)
    , window_(window)
    , wait_(mainWindow, std::move(createRequest))
    , access_(std::move(access))
    , asRecorded_(new QAction(QStringLiteral("原样重发"), this))
    , resigned_(new QAction(QStringLiteral("重新签名后发送"), this))
    , import_(new QAction(QStringLiteral("从 HAR 导入…"), this))
{
    asRecorded_->setObjectName(QStringLiteral("replayAsRecorded"));
    asRecorded_->setToolTip(QStringLiteral("照记录的字节再发一次，签名参数也不变"));
    resigned_->setObjectName(QStringLiteral("replayResigned"));
    resigned_->setToolTip(QStringLiteral("同样的正文，按当前的接入设置换上新的时间戳、随机数和签名"));
    import_->setObjectName(QStringLiteral("importHarFromMenu"));

    QMenu &menu = window_.listMenu();
    menu.addAction(asRecorded_);
    menu.addAction(resigned_);
    menu.addSeparator();
    menu.addAction(import_);
    connect(&menu, &QMenu::aboutToShow, this, &ReplayActions::followSelection);

    const auto guarded = [this](std::function<void()> handler) {
        return [this, handler] { runHandler(&window_, handler); };
    };
    connect(asRecorded_, &QAction::triggered, this, guarded([this] { replaySelected(ReplayMode::AsRecorded); }));
    connect(resigned_, &QAction::triggered, this, guarded([this] { replaySelected(ReplayMode::Resigned); }));
    connect(import_, &QAction::triggered, &window_.historyBar(), &HistoryBar::askImport);
    connect(&window_.historyBar(), &HistoryBar::importWanted, this,
            [this](const QString &file) { runHandler(&window_, [this, file] { importFile(file); }); });
}

void ReplayActions::followSelection()
{
    const bool chosen = window_.selectedEntry() != nullptr;
    asRecorded_->setEnabled(chosen);
    resigned_->setEnabled(chosen);
}

void ReplayActions::replaySelected(ReplayMode mode)
{
    const JournalEntry *entry = window_.selectedEntry();
    if (!entry)
        return;
    send(replaySourceOf(*entry), mode, {}, &window_);
}

void ReplayActions::importFile(const QString &file)
{
    HarImport imported = importHarFile(file);
    if (!imported.ok()) {
        // The dialog, if open, keeps the file it lists and the address typed.
        tell(dialog_ && dialog_->isVisible() ? static_cast<QWidget *>(dialog_) : &window_,
             QStringLiteral("无法从 %1 导入：\n%2").arg(QDir::toNativeSeparators(file), *imported.problem));
        return;
    }
    imported_ = std::move(imported);
    if (!dialog_) {
        dialog_ = new HarImportDialog(&window_);
        connect(dialog_, &HarImportDialog::sendWanted, this, [this](int entry, bool resign, const QString &url) {
            runHandler(dialog_, [=, this] {
                replayImported(entry, resign ? ReplayMode::Resigned : ReplayMode::AsRecorded, url);
            });
        });
    }
    dialog_->setFile(file, dialogRows(imported_));
    dialog_->show();
    dialog_->raise();
    dialog_->activateWindow();
}

void ReplayActions::replayImported(int entry, ReplayMode mode, const QString &givenUrl)
{
    const auto post = std::find_if(imported_.posts.cbegin(), imported_.posts.cend(),
                                   [entry](const HarPostEntry &p) { return p.entryIndex == entry; });
    if (post == imported_.posts.cend())
        return;
    const QString said = send(replaySourceOf(*post), mode, givenUrl, dialog_);
    if (dialog_ && !said.isEmpty())
        dialog_->showNote(QStringLiteral("第 %1 项%2").arg(entry + 1).arg(said));
}

QString ReplayActions::send(const ReplaySource &source, ReplayMode mode, const QString &givenUrl, QWidget *asker)
{
    if (wait_.underWay() || WaitingLoop::anyWaiting())
        return {};
    const AccessSettings access = access_ ? access_() : AccessSettings{};
    // What the user can mend is said before anything goes out, and nothing is listed.
    std::optional<QString> problem = source.problem;
    if (!problem) {
        try {
            const std::variant<ReplayPlan, QString> plan = planReplay(source, mode, access, givenUrl);
            if (const auto *why = std::get_if<QString>(&plan))
                problem = *why;
        } catch (const PostFailure &failure) {
            problem = failure.description(); // libcrypto could not open the recorded push
        }
    }
    if (problem) {
        const QString what = mode == ReplayMode::Resigned ? QStringLiteral("重新签名后发送") : QStringLiteral("原样重发");
        tell(asker, QStringLiteral("没有%1：%2").arg(what, *problem));
        return QStringLiteral("没有发出：%1").arg(*problem);
    }
    const MainWindowWait::Hold held(wait_);
    PushPostOutcome outcome;
    {
        const BusyCursor busy;
        outcome = replayPost(source, mode, access, givenUrl, wait_.requests(access.caFile));
    }
    // Listed, selected and judged as a post; the result window keeps the answer it shows.
    if (const quint64 serial = window_.add(JournalEntry{outcome.record, outcome.verdict, 0, 0, {}, 0, false}))
        window_.selectSerial(serial);
    mainWindow_.showVerdict(outcome);
    return outcomeLine(outcome);
}
