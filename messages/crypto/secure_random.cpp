#include "crypto/secure_random.h"

#include "crypto/crypto_primitives.h"

QByteArray secureRandomBytes(int count)
{
    QByteArray bytes(count, Qt::Uninitialized);
    if (count > 0)
        randomBytes(bytes.data(), count);
    return bytes;
}

QString secureRandomDigits(int count)
{
    QString digits;
    digits.reserve(count);
    while (digits.size() < count) {
        for (const char byte : secureRandomBytes(count)) {
            const int value = static_cast<unsigned char>(byte);
            // 250 and over would favour the low digits.
            if (value >= 250 || (digits.isEmpty() && value % 10 == 0))
                continue;
            if (digits.size() < count)
                digits.append(QChar(u'0' + value % 10));
        }
    }
    return digits;
}
