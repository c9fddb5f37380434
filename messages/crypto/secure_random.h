#pragma once

#include <QByteArray>
#include <QString>

// Bytes from OpenSSL's generator. A generator that fails throws PostFailure
// (Crypto): signing with guessable bytes would be worse than not signing.
QByteArray secureRandomBytes(int count);

// Decimal digits from the same generator, the first one not 0, as the
// platform's nonces and echostrs look.
QString secureRandomDigits(int count);
