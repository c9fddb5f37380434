#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Sets one field of a push body, XML or JSON, leaving every other byte as it
// was: a fixture then serves many cases (--set Content=退订).
//
// `assignment` is NAME=VALUE; NAME may be a dotted path into nested elements
// or objects (ScanCodeInfo.ScanType). In XML the element's text is replaced,
// inside its CDATA section when it has one; a missing last element is added
// before its parent's closing tag. In JSON a string stays a string, a number
// must stay a number; a missing last key is added at the end of its object.
// Returns what is wrong, in words the user can act on, or nothing when set.
std::optional<QString> setPushField(QString &body, const QString &assignment);

// Every assignment in turn; on the first that does not fit, the body is left
// as it was and that one's problem is returned.
std::optional<QString> setPushFields(QString &body, const QStringList &assignments);
