#include "form2.h"

#include "form2_layout.h"
#include "toolkit/text_boxes.h"

Form2::Form2(QWidget *parent)
    : Window(form2Layout(), parent)
    , Text1_(control<MultiLineTextBox>("Text1"))
{
}
