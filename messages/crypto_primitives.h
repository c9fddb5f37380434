#pragma once

#include <QByteArray>
#include <QByteArrayView>

// libcrypto's primitives that signing and encryption are built on, in the
// network module. Each returns false when libcrypto fails.

// SHA-1 of the data: 20 bytes.
bool sha1Digest(QByteArrayView data, QByteArray &digest);

// Whether two arrays of the same size are equal, in a time that does not
// depend on where they differ.
bool equalInConstantTime(QByteArrayView a, QByteArrayView b);

// AES-256-CBC over whole blocks with the key's first 16 bytes as IV and no
// padding of libcrypto's own (the platform pads); output empty on failure.
bool aes256Cbc(const QByteArray &key, const QByteArray &input, bool encrypt, QByteArray &output);

// Bytes from libcrypto's generator.
bool randomBytes(char *out, int count);
