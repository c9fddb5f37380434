#pragma once

#include <QMap>
#include <QString>

// The text of each child element of the root, the first of a name kept.
// Read up to the first XML error, so a body typed by hand that goes wrong
// later still gives the fields before that point.
QMap<QString, QString> rootChildFields(const QString &xml);
