#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

// The decoder name (one that QStringDecoder accepts) for a WHATWG encoding label, or an empty
// array when the label names no encoding the WHATWG Encoding Standard knows.
//
// The label is matched after trimming ASCII whitespace (TAB, LF, FF, CR, SPACE) and ASCII
// case-insensitively, against the Standard's full label table. The name returned picks the ICU
// converter closest to the Standard's decoder for that encoding, e.g. "latin1" and "us-ascii" give
// "windows-1252", "gb2312" and "gbk" give "GB18030", "big5" gives "Big5-HKSCS", "sjis" gives
// "windows-31j", "euc-kr" gives "windows-949", "utf-16" gives "UTF-16LE".
//
// Two names are not for QStringDecoder; the caller handles them itself:
//   "replacement"    (labels such as "iso-2022-kr", "hz-gb-2312"): the whole body decodes to a single
//                    U+FFFD, or to nothing when the body is empty.
//   "x-user-defined": bytes 0x00-0x7F decode to U+0000-U+007F, bytes 0x80-0xFF to U+F780-U+F7FF.
//
// ISO-8859-16 ("iso-8859-16") is known to the Standard, but the ICU data Qt uses here has no
// converter for it, so its label gives an empty array too and the caller falls back as for an
// unknown label.
QByteArray decoderForEncodingLabel(QByteArrayView label);

// Every distinct name decoderForEncodingLabel() can return, in table order.
QList<QByteArray> encodingLabelDecoders();
