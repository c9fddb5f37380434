#include "load_phase.h"

#include "event_loop.h"
#include "fail.h"
#include "form1.h"
#include "form_button.h"
#include "paint_watch.h"
#include "platform/samples.h"
#include "timing.h"
#include "box_editor.h"
#include "toolkit/text_boxes.h"

#include <QPushButton>

#include <string>

std::vector<LoadFigures> measureLoads(PaintWatch &watch, Form1 &form, bool quick)
{
    struct Load {
        const char *button;
        QString (*sample)();
    };
    const Load loads[] = {{"Command1", BuildPictureSample}, {"Command2", BuildTextSample}, {"Command3", BuildLocationSample}};
    auto *xmlBox = form.findChild<MultiLineTextBox *>("Text2");
    std::vector<LoadFigures> figures;
    for (const Load &load : loads) {
        std::vector<double> held, painted;
        for (int i = 0; i < (quick ? 5 : 30); ++i) {
            xmlBox->setText(QStringLiteral("other text"));
            processEventsFor(5); // the box repainted with the other text
            watch.arm(editorIn(*xmlBox)->viewport());
            const auto start = Clock::now();
            button(form, load.button)->click();
            const double inBox = msSince(start);
            if (!spinUntil([&] { return watch.painted; }, 10'000))
                fail("the XML box was never painted");
            painted.push_back(msSince(start));
            held.push_back(inBox);
            watch.disarm();
            if (xmlBox->text() != load.sample())
                fail(std::string("the XML box does not hold the sample after ") + load.button);
        }
        figures.push_back({load.button, stats(held), stats(painted)});
    }
    return figures;
}
