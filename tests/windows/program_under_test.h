#pragma once

#include "form1.h"
#include "toolkit/text_boxes.h"

#include <QPushButton>
#include <QTest>

#include <algorithm>

// The program as main() makes it, the main window shown and its result
// window not yet loaded, driven the way a user drives it.
struct ProgramUnderTest {
    ProgramWideWindow<Form2> results;
    Form1 form;

    explicit ProgramUnderTest(PostRequestFactory createRequest = createNetworkRequest)
        : form(results, std::move(createRequest))
    {
        form.show();
        if (!QTest::qWaitForWindowExposed(&form))
            qFatal("the main window was never shown");
    }

    SingleLineTextBox *endpointBox() const { return form.findChild<SingleLineTextBox *>("Text1"); }
    MultiLineTextBox *xmlBox() const { return form.findChild<MultiLineTextBox *>("Text2"); }
    void click(const char *button) { QTest::mouseClick(form.findChild<QPushButton *>(button), Qt::LeftButton); }

    // Clicks into the endpoint box, which clears the default, then types a
    // short ASCII endpoint key by key; any other is pasted (QTest types
    // ASCII only).
    void enterEndpoint(const QString &url)
    {
        QTest::mouseClick(endpointBox(), Qt::LeftButton);
        const bool ascii = std::all_of(url.begin(), url.end(), [](QChar c) { return c.unicode() < 0x80; });
        if (ascii && url.size() <= 200)
            QTest::keyClicks(endpointBox(), url);
        else
            endpointBox()->setText(url);
    }

    // Referring to the result window loads it, as the program's own references do.
    Form2 &resultWindow() { return results.get(); }
    bool resultShown() { return results.isLoaded() && results.get().isVisible(); }
    QString answerShown() { return results.get().Text1()->text(); }
};
