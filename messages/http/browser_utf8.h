#pragma once

#include <QByteArrayView>
#include <QString>

// UTF-8 decoded as browsers decode it: each maximal ill-formed subsequence
// becomes one U+FFFD. (Qt's own decoder makes one U+FFFD of every byte of a
// sequence cut short by a byte that does not continue it.)
QString decodeUtf8LikeBrowsers(QByteArrayView bytes);
