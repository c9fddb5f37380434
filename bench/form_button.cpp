#include "form_button.h"

#include "fail.h"
#include "form1.h"

#include <QPushButton>

QPushButton *button(Form1 &form, const char *name)
{
    auto *found = form.findChild<QPushButton *>(QLatin1StringView(name));
    if (!found)
        fail(std::string("no button ") + name);
    return found;
}
