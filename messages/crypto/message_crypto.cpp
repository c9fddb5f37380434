#include "crypto/message_crypto.h"

#include "crypto/crypto_primitives.h"

#include <QtEndian>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int kKeySize = 32;
constexpr int kRandomSize = 16;
constexpr int kLengthSize = 4;
constexpr int kPadBlock = 32; // the platform pads to 32, not to AES's 16

// AES-256-CBC over whole blocks, OpenSSL's own padding off: the pad is the
// platform's. Empty on any failure.
QByteArray runCipher(const QByteArray &key, const QByteArray &input, bool encrypt)
{
    if (key.size() != kKeySize || input.isEmpty() || input.size() % 16 != 0)
        return {};
    return aes256Cbc(key, input, encrypt);
}

} // namespace

std::optional<QByteArray> decodeAesKey(const QString &encodingAesKey)
{
    if (encodingAesKey.size() != 43)
        return std::nullopt;
    const auto decoded = QByteArray::fromBase64Encoding(encodingAesKey.toLatin1() + '=',
                                                        QByteArray::AbortOnBase64DecodingErrors);
    // toLatin1 turns any other character into '?', which base64 refuses.
    if (!decoded || decoded.decoded.size() != kKeySize)
        return std::nullopt;
    return decoded.decoded;
}

QString encryptMessage(const QByteArray &key, const QByteArray &random16, const QByteArray &message,
                       const QByteArray &appId)
{
    if (random16.size() != kRandomSize)
        return {};
    QByteArray plain = random16;
    char length[kLengthSize];
    qToBigEndian<quint32>(quint32(message.size()), length);
    plain.append(length, kLengthSize).append(message).append(appId);
    const int pad = kPadBlock - int(plain.size() % kPadBlock);
    plain.append(pad, char(pad));
    return QString::fromLatin1(runCipher(key, plain, true).toBase64());
}

QString describeDecryptFailure(DecryptFailure failure)
{
    switch (failure) {
    case DecryptFailure::BadBase64:
        return u"Encrypt 不是有效的 base64"_s;
    case DecryptFailure::BadLength:
        return u"Encrypt 解码后的长度不是 AES 分组（16 字节）的整数倍"_s;
    case DecryptFailure::BadPadding:
        return u"解密后的填充无效：EncodingAESKey 不对，或密文被改动"_s;
    case DecryptFailure::LengthOutOfRange:
        return u"解密后的消息长度字段超出了内容的范围"_s;
    }
    return {};
}

std::variant<DecryptedMessage, DecryptFailure> decryptMessage(const QByteArray &key, const QString &encrypt)
{
    const auto decoded = QByteArray::fromBase64Encoding(encrypt.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return DecryptFailure::BadBase64;
    if (decoded.decoded.isEmpty() || decoded.decoded.size() % 16 != 0)
        return DecryptFailure::BadLength;
    const QByteArray plain = runCipher(key, decoded.decoded, false);
    if (plain.isEmpty())
        return DecryptFailure::BadPadding;

    const int pad = static_cast<unsigned char>(plain.back());
    if (pad < 1 || pad > kPadBlock || pad > plain.size())
        return DecryptFailure::BadPadding;
    for (qsizetype i = plain.size() - pad; i < plain.size(); ++i) {
        if (static_cast<unsigned char>(plain[i]) != pad)
            return DecryptFailure::BadPadding;
    }
    const QByteArray content = plain.first(plain.size() - pad);
    if (content.size() < kRandomSize + kLengthSize)
        return DecryptFailure::LengthOutOfRange;
    const quint32 length = qFromBigEndian<quint32>(content.constData() + kRandomSize);
    const qsizetype rest = content.size() - kRandomSize - kLengthSize;
    if (length > quint64(rest))
        return DecryptFailure::LengthOutOfRange;
    return DecryptedMessage{content.mid(kRandomSize + kLengthSize, length),
                            content.mid(kRandomSize + kLengthSize + length)};
}
