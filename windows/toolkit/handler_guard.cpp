#include "handler_guard.h"

#include "message_box.h"
#include "http/post_failure.h"

#include <new>

namespace {

void report(QWidget *owner, const QString &heading, int number, const QString &description)
{
    showMessage(owner, QStringLiteral("%1(错误 %2):%3").arg(heading).arg(number).arg(description));
}

} // namespace

void runHandler(QWidget *owner, const std::function<void()> &handler)
{
    try {
        handler();
    } catch (const PostFailure &failure) {
        if (failure.number() == PostFailure::Cancelled)
            return; // the user gave the post up: nothing to say
        report(owner, QStringLiteral("发送失败"), failure.number(), failure.description());
    } catch (const std::bad_alloc &) {
        report(owner, QStringLiteral("操作失败"), 7, QStringLiteral("内存不足"));
    } catch (const std::exception &failure) {
        report(owner, QStringLiteral("操作失败"), 51, QString::fromLocal8Bit(failure.what()));
    } catch (...) {
        report(owner, QStringLiteral("操作失败"), 51, QStringLiteral("未知的内部错误"));
    }
}
