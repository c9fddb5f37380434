#pragma once

#include <QByteArray>
#include <QByteArrayView>

// libcrypto's primitives that signing and encryption are built on. A
// libcrypto failure throws PostFailure (Crypto): the post it was for is not
// sent, and the program goes on.

// SHA-1 of the data: 20 bytes.
QByteArray sha1Digest(QByteArrayView data);

// Whether two arrays of the same size are equal, in a time that does not
// depend on where they differ.
bool equalInConstantTime(QByteArrayView a, QByteArrayView b);

// AES-256-CBC over whole blocks with the key's first 16 bytes as IV and no
// padding of libcrypto's own (the platform pads).
QByteArray aes256Cbc(const QByteArray &key, const QByteArray &input, bool encrypt);

// Bytes from libcrypto's generator.
void randomBytes(char *out, int count);
