#include "program_icon.h"

QIcon programIcon()
{
    return QIcon(QStringLiteral(":/icon/veltrane.ico"));
}
