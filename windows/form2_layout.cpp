#include "form2_layout.h"

const WindowLayout &form2Layout()
{
    using enum ControlKind;
    // The text box is one pixel taller than the client area: its lower edge
    // lies just outside the window.
    static const WindowLayout layout{
        "Form2", u"Xml返回结果", 7215, 4440,
        {
            // name   kind     container left top width height tab  initial text  accessible name
            {"Text1", TextBox, "",       0,   0,  7215, 4455,  0,   u"",          u"返回结果", true},
        },
    };
    return layout;
}
