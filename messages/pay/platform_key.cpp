#include "pay/platform_key.h"

#include "http/post_failure.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>

#include <memory>
#include <mutex>

namespace {

template <auto Free>
struct Freer {
    template <typename T>
    void operator()(T *object) const { Free(object); }
};
using Bio = std::unique_ptr<BIO, Freer<BIO_free>>;
using Key = std::unique_ptr<EVP_PKEY, Freer<EVP_PKEY_free>>;
using Certificate = std::unique_ptr<X509, Freer<X509_free>>;
using DigestContext = std::unique_ptr<EVP_MD_CTX, Freer<EVP_MD_CTX_free>>;
using BigNumber = std::unique_ptr<BIGNUM, Freer<BN_free>>;
void freeText(char *text)
{
    OPENSSL_free(text);
}
using OpenSslText = std::unique_ptr<char, Freer<freeText>>;

[[noreturn]] void failed(const QString &what)
{
    char reason[256] = {};
    ERR_error_string_n(ERR_get_error(), reason, sizeof reason);
    ERR_clear_error();
    throw PostFailure(PostFailure::Crypto, QStringLiteral("模拟支付平台的密钥：%1（%2）").arg(what, QString::fromLatin1(reason)));
}

// A key file is never encrypted; one that is must not make libcrypto ask on the terminal.
int noPassphrase(char *, int, int, void *)
{
    return 0;
}

Bio readingBio(QByteArrayView data)
{
    return Bio(BIO_new_mem_buf(data.data(), int(data.size())));
}

QByteArray bioText(BIO *bio)
{
    char *data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    return QByteArray(data, qsizetype(size));
}

Certificate readCertificate(QByteArrayView pem)
{
    const Bio bio = readingBio(pem);
    Certificate certificate(bio ? PEM_read_bio_X509(bio.get(), nullptr, noPassphrase, nullptr) : nullptr);
    ERR_clear_error();
    return certificate;
}

std::optional<QString> serialOf(X509 *certificate)
{
    const BigNumber number(ASN1_INTEGER_to_BN(X509_get0_serialNumber(certificate), nullptr));
    const OpenSslText hex(number ? BN_bn2hex(number.get()) : nullptr);
    if (!hex)
        return std::nullopt;
    return QString::fromLatin1(hex.get()).toUpper();
}

// A fresh key and a certificate for it, good for ten years.
PayPlatformKey makeKey()
{
    const Key key(EVP_RSA_gen(2048));
    const Certificate certificate(X509_new());
    if (!key || !certificate)
        failed(QStringLiteral("无法生成 RSA-2048 密钥"));
    // 20 bytes, the first in 0x10..0x7f: a positive serial of 40 hex digits.
    unsigned char serial[20];
    if (RAND_bytes(serial, sizeof serial) != 1)
        failed(QStringLiteral("无法生成证书序列号"));
    serial[0] = static_cast<unsigned char>(0x10 + serial[0] % 0x70);
    const BigNumber serialNumber(BN_bin2bn(serial, sizeof serial, nullptr));
    X509_NAME *name = X509_get_subject_name(certificate.get());
    const auto *organisation = reinterpret_cast<const unsigned char *>("Veltrane");
    const auto *commonName = reinterpret_cast<const unsigned char *>("Veltrane simulated payment platform (testing only)");
    if (!serialNumber || !BN_to_ASN1_INTEGER(serialNumber.get(), X509_get_serialNumber(certificate.get()))
        || X509_set_version(certificate.get(), X509_VERSION_3) != 1
        || !X509_gmtime_adj(X509_getm_notBefore(certificate.get()), -86'400)
        || !X509_gmtime_adj(X509_getm_notAfter(certificate.get()), 10L * 365 * 86'400)
        || X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC, organisation, -1, -1, 0) != 1
        || X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, commonName, -1, -1, 0) != 1
        || X509_set_issuer_name(certificate.get(), name) != 1
        || X509_set_pubkey(certificate.get(), key.get()) != 1
        || X509_sign(certificate.get(), key.get(), EVP_sha256()) <= 0)
        failed(QStringLiteral("无法生成自签名证书"));

    const Bio keyText(BIO_new(BIO_s_mem()));
    const Bio certificateText(BIO_new(BIO_s_mem()));
    if (!keyText || !certificateText
        || PEM_write_bio_PrivateKey(keyText.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) != 1
        || PEM_write_bio_X509(certificateText.get(), certificate.get()) != 1)
        failed(QStringLiteral("无法写出 PEM"));
    return {bioText(keyText.get()), bioText(certificateText.get()), serialOf(certificate.get()).value_or(QString())};
}

// The key and certificate from the file's PEM; nothing if either is missing or they do not belong together.
std::optional<PayPlatformKey> parseKey(const QByteArray &pem)
{
    const Bio bio = readingBio(pem);
    const Key key(bio ? PEM_read_bio_PrivateKey(bio.get(), nullptr, noPassphrase, nullptr) : nullptr);
    const Certificate certificate = readCertificate(pem);
    ERR_clear_error();
    if (!key || !certificate || X509_check_private_key(certificate.get(), key.get()) != 1) {
        ERR_clear_error();
        return std::nullopt;
    }
    const std::optional<QString> serial = serialOf(certificate.get());
    const qsizetype certificateStart = pem.indexOf("-----BEGIN CERTIFICATE-----");
    const qsizetype certificateEnd = pem.indexOf("-----END CERTIFICATE-----", certificateStart);
    if (!serial || certificateStart < 0 || certificateEnd < 0)
        return std::nullopt;
    const qsizetype end = certificateEnd + qsizetype(sizeof "-----END CERTIFICATE-----") - 1;
    QByteArray keyPem = pem;
    keyPem.remove(certificateStart, end - certificateStart);
    return PayPlatformKey{keyPem.trimmed() + '\n', pem.mid(certificateStart, end - certificateStart) + '\n', *serial};
}

constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

} // namespace

QString payPlatformKeyFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/Veltrane/pay-platform-key.pem");
}

namespace {

PayPlatformKey readOrMakeKey(const QString &file)
{
    QFile existing(file);
    if (existing.open(QIODevice::ReadOnly)) {
        if (const std::optional<PayPlatformKey> key = parseKey(existing.readAll())) {
            // A copy loosened by hand is tightened again: it signs as the platform.
            if (existing.permissions() & ~(kOwnerOnly | QFileDevice::ReadUser | QFileDevice::WriteUser))
                existing.setPermissions(kOwnerOnly);
            return *key;
        }
        failed(QStringLiteral("%1 不是 Veltrane 生成的密钥和证书，删除它后会重新生成").arg(file));
    }
    if (QFileInfo::exists(file))
        failed(QStringLiteral("无法读取 %1").arg(file));

    const PayPlatformKey made = makeKey();
    if (!QDir().mkpath(QFileInfo(file).absolutePath()))
        failed(QStringLiteral("无法创建文件夹 %1").arg(QFileInfo(file).absolutePath()));
    // Written whole under another name (created readable by the owner only)
    // and then renamed: a second process making one at once loses the rename
    // and takes the first one's key.
    QTemporaryFile temporary(file + QStringLiteral(".XXXXXX"));
    if (!temporary.open() || !temporary.setPermissions(kOwnerOnly)
        || temporary.write(made.privateKeyPem + made.certificatePem) < 0 || !temporary.flush())
        failed(QStringLiteral("无法写入 %1").arg(file));
    temporary.close();
    if (!temporary.rename(file)) {
        if (QFileInfo::exists(file))
            return readOrMakeKey(file);
        failed(QStringLiteral("无法写入 %1").arg(file));
    }
    temporary.setAutoRemove(false);
    return made;
}

} // namespace

PayPlatformKey payPlatformKey(const QString &file)
{
    // The window makes the key on a thread of its own while a post may ask
    // for it: the second caller waits and reads the first one's key.
    static std::mutex making;
    const std::lock_guard lock(making);
    return readOrMakeKey(file);
}

QByteArray signWithPlatformKey(const PayPlatformKey &key, QByteArrayView message)
{
    const Bio bio = readingBio(key.privateKeyPem);
    const Key privateKey(bio ? PEM_read_bio_PrivateKey(bio.get(), nullptr, noPassphrase, nullptr) : nullptr);
    const DigestContext context(EVP_MD_CTX_new());
    size_t size = 0;
    if (!privateKey || !context
        || EVP_DigestSignInit(context.get(), nullptr, EVP_sha256(), nullptr, privateKey.get()) != 1
        || EVP_DigestSign(context.get(), nullptr, &size,
                          reinterpret_cast<const unsigned char *>(message.data()), size_t(message.size())) != 1)
        failed(QStringLiteral("无法签名"));
    QByteArray signature(qsizetype(size), Qt::Uninitialized);
    if (EVP_DigestSign(context.get(), reinterpret_cast<unsigned char *>(signature.data()), &size,
                       reinterpret_cast<const unsigned char *>(message.data()), size_t(message.size())) != 1)
        failed(QStringLiteral("无法签名"));
    signature.truncate(qsizetype(size));
    return signature.toBase64();
}

bool verifyWithCertificate(QByteArrayView certificatePem, QByteArrayView message, QByteArrayView signatureBase64)
{
    const Certificate certificate = readCertificate(certificatePem);
    const auto signature = QByteArray::fromBase64Encoding(signatureBase64.toByteArray(),
                                                          QByteArray::AbortOnBase64DecodingErrors);
    if (!certificate || !signature)
        return false;
    const Key publicKey(X509_get_pubkey(certificate.get()));
    const DigestContext context(EVP_MD_CTX_new());
    const bool verified = publicKey && context
        && EVP_DigestVerifyInit(context.get(), nullptr, EVP_sha256(), nullptr, publicKey.get()) == 1
        && EVP_DigestVerify(context.get(), reinterpret_cast<const unsigned char *>(signature.decoded.constData()),
                            size_t(signature.decoded.size()), reinterpret_cast<const unsigned char *>(message.data()),
                            size_t(message.size())) == 1;
    ERR_clear_error();
    return verified;
}

std::optional<QString> certificateSerial(QByteArrayView certificatePem)
{
    const Certificate certificate = readCertificate(certificatePem);
    return certificate ? serialOf(certificate.get()) : std::nullopt;
}
