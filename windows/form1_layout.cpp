#include "form1_layout.h"

const WindowLayout &form1Layout()
{
    using enum ControlKind;
    static const WindowLayout layout{
        "Form1", u"Veltrane", 6900, 5040,
        {
            // name      kind           container left  top   width height tab  caption or initial text         accessible name
            {"Frame1",   Frame,         "",       0,    0,    6855, 735,   0,   u"位置公众地址(Api接入地址)",    u"接口地址"},
            {"Text1",    TextBox,       "Frame1", 120,  240,  6615, 375,   1,   kDefaultEndpoint,                u"接口地址"},
            {"Frame2",   Frame,         "",       0,    720,  6855, 3375,  2,   u"XML信息",                      u"XML信息"},
            {"Text2",    TextBox,       "Frame2", 120,  240,  6615, 3015,  3,   u"请载入本文\r\n",               u"XML信息", true},
            {"Command1", CommandButton, "",       3600, 4200, 1575, 495,   4,   u"载入图文XML格式",              u"载入图文XML格式"},
            {"Command2", CommandButton, "",       0,    4200, 1575, 495,   5,   u"载入文本XML格式",              u"载入文本XML格式"},
            {"Command3", CommandButton, "",       1800, 4200, 1575, 495,   6,   u"载入地理XML格式",              u"载入地理XML格式"},
            {"Command4", CommandButton, "",       5400, 4200, 1455, 495,   7,   u"PostXML",                      u"发送XML"},
            {"Label1",   Label,         "",       0,    4800, 6615, 255,   8,   u"先点地址框填入接口地址，载入XML样例，再点PostXML发送", u"提示",
                         false, QColor(255, 0, 0)},
        },
    };
    return layout;
}
