#pragma once

// The program under a fault, and the three things every fault case checks:
// the program still answers, nothing the user typed is gone, and the user
// got the answer or a clear failure.

#include "message_box_catcher.h"
#include "http/network_http_request.h"
#include "http/post_failure.h"
#include "program_under_test.h"
#include "platform/samples.h"

#include <QRegularExpression>
#include <QTimer>

#include <chrono>
#include <optional>
#include <vector>

// Stops the test function when a check made in a helper failed.
#define FAULT_CHECK(call)                                                                                              \
    do {                                                                                                               \
        call;                                                                                                          \
        if (QTest::currentTestFailed())                                                                                \
            return;                                                                                                    \
    } while (false)

// Real request objects whose stall time-out is short enough for a test,
// made for XmlPost or for the main window (with its settings).
struct StallingAfter {
    std::chrono::milliseconds timeout;
    bool followRedirects = false;
    std::unique_ptr<HttpRequest> operator()(ExchangeSettings settings = {}) const
    {
        settings.stallTimeout = timeout;
        settings.followRedirects = followRedirects;
        return std::make_unique<NetworkHttpRequest>(std::move(settings));
    }
};
inline StallingAfter stallingAfter(std::chrono::milliseconds timeout)
{
    return {timeout};
}
// The same, following redirects as browsers do (the program's posts follow none).
inline StallingAfter followingRedirects(std::chrono::milliseconds timeout)
{
    return {timeout, true};
}

struct FaultProgram : ProgramUnderTest {
    explicit FaultProgram(PostRequestFactory createRequest = stallingAfter(std::chrono::seconds(5)))
        : ProgramUnderTest(std::move(createRequest))
    {
    }

    // Loads the text sample and adds a line of the user's own, or pastes the given text.
    void enterXml(const std::optional<QString> &pasted = std::nullopt)
    {
        if (pasted) {
            xmlBox()->setText(*pasted);
            return;
        }
        click("Command2");
        QTest::keyClick(xmlBox()->focusProxy(), Qt::Key_End, Qt::ControlModifier);
        QTest::keyClicks(xmlBox()->focusProxy(), "<!-- typed -->");
    }

    // Clicks PostXML and returns the message boxes that came up meanwhile.
    std::vector<MessageBoxCatcher::Seen> post()
    {
        MessageBoxCatcher boxes;
        click("Command4");
        return boxes.seen();
    }

    int topLevelWindows() const { return int(QApplication::topLevelWidgets().size()); }
};

// One message box titled "Veltrane" saying "发送失败(错误 N):", N one of
// the numbers given, and a description in Chinese, naming what is given;
// no result window came up.
inline void verifyFailureReported(FaultProgram &program, const std::vector<MessageBoxCatcher::Seen> &seen,
                                  const QList<int> &numbers, const QString &mentioned = QString())
{
    QCOMPARE(seen.size(), 1u);
    const MessageBoxCatcher::Seen &box = seen.front();
    QCOMPARE(box.title, u"Veltrane");
    QVERIFY(box.okOnly);
    static const QRegularExpression pattern(QStringLiteral("^发送失败\\(错误 (\\d+)\\):(.+)$"),
                                            QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = pattern.match(box.text);
    QVERIFY2(match.hasMatch(), qPrintable(box.text.left(500)));
    QStringList expected;
    for (int number : numbers)
        expected << QString::number(number);
    QVERIFY2(numbers.contains(match.captured(1).toInt()),
             qPrintable(QStringLiteral("expected error %1, got: %2").arg(expected.join(u" or "), box.text.left(500))));
    static const QRegularExpression chinese(QStringLiteral("[\\x{4E00}-\\x{9FFF}]"));
    QVERIFY2(match.captured(2).contains(chinese), qPrintable(box.text.left(500)));
    if (!mentioned.isEmpty())
        QVERIFY2(box.text.contains(mentioned, Qt::CaseInsensitive),
                 qPrintable(QStringLiteral("\"%1\" not in: %2").arg(mentioned, box.text.left(500))));
    QVERIFY2(!program.resultShown(), "a result window came up for a failed post");
}

// The answer is in the result window and no message box came up.
inline void verifyAnswerShown(FaultProgram &program, const std::vector<MessageBoxCatcher::Seen> &seen,
                              const QString &answer)
{
    QVERIFY2(seen.empty(), seen.empty() ? "" : qPrintable(seen.front().text.left(500)));
    QVERIFY(program.resultShown());
    QCOMPARE(program.answerShown(), answer);
}

// Both boxes hold what the user put there.
inline void verifyBoxesKept(FaultProgram &program, const QString &endpoint, const QString &xml)
{
    QCOMPARE(program.endpointBox()->text(), endpoint);
    // Compared apart from QCOMPARE's printout, which a megabyte would flood.
    const QString now = program.xmlBox()->text();
    QVERIFY2(now == xml, qPrintable(QStringLiteral("the XML box changed: %1 characters, was %2")
                                        .arg(now.size())
                                        .arg(xml.size())));
}

// The event loop still turns, the main window is up, and a load button still
// works. Replaces the XML box, so it comes after verifyBoxesKept.
inline void verifyStillResponsive(FaultProgram &program)
{
    bool turned = false;
    QTimer::singleShot(0, &program.form, [&turned] { turned = true; });
    QTRY_VERIFY_WITH_TIMEOUT(turned, 2000);
    QVERIFY(program.form.isVisible());
    QVERIFY(program.form.isEnabled());
    program.click("Command3");
    QCOMPARE(program.xmlBox()->text(), BuildLocationSample());
}
