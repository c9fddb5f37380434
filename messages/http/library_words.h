#pragma once

#include <QString>

class QXmlStreamReader;

// The libraries' own English, told in Chinese so that every front end says
// the same thing. Words not known here keep the library's text after a
// Chinese lead, so that nothing is lost.

// Where the reader stopped and why: "第 L 行第 C 列：……".
QString xmlProblem(const QXmlStreamReader &reader);

// Qt's XML reader's error text, in Chinese.
QString xmlErrorInChinese(const QString &qtWords);

// QUrl::errorString(), in Chinese.
QString urlErrorInChinese(const QString &qtWords);

// QFile::errorString(), in Chinese.
QString fileErrorInChinese(const QString &qtWords);
