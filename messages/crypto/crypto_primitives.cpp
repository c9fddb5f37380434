#include "crypto/crypto_primitives.h"

#include "http/post_failure.h"

#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <memory>

namespace {

struct CipherContextFree {
    void operator()(EVP_CIPHER_CTX *context) const { EVP_CIPHER_CTX_free(context); }
};
using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, CipherContextFree>;

// What failed, in the user's words, with libcrypto's own reason.
[[noreturn]] void libcryptoFailed(const char *what)
{
    char reason[256] = {};
    ERR_error_string_n(ERR_get_error(), reason, sizeof reason);
    ERR_clear_error();
    throw PostFailure(PostFailure::Crypto, QStringLiteral("加密库 libcrypto 无法%1，没有发送（%2）")
                                               .arg(QString::fromUtf8(what), QString::fromLocal8Bit(reason)));
}

} // namespace

QByteArray sha1Digest(QByteArrayView data)
{
    unsigned char bytes[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_Digest(data.data(), size_t(data.size()), bytes, &size, EVP_sha1(), nullptr) != 1)
        libcryptoFailed("计算 SHA-1 签名");
    return QByteArray(reinterpret_cast<const char *>(bytes), int(size));
}

bool equalInConstantTime(QByteArrayView a, QByteArrayView b)
{
    return a.size() == b.size() && CRYPTO_memcmp(a.data(), b.data(), size_t(a.size())) == 0;
}

QByteArray aes256Cbc(const QByteArray &key, const QByteArray &input, bool encrypt)
{
    const char *what = encrypt ? "用 AES 加密" : "用 AES 解密";
    const CipherContext context(EVP_CIPHER_CTX_new());
    if (!context)
        libcryptoFailed(what);
    const auto *keyBytes = reinterpret_cast<const unsigned char *>(key.constData());
    if (EVP_CipherInit_ex(context.get(), EVP_aes_256_cbc(), nullptr, keyBytes, keyBytes, encrypt ? 1 : 0) != 1
        || EVP_CIPHER_CTX_set_padding(context.get(), 0) != 1)
        libcryptoFailed(what);
    QByteArray result(input.size() + 16, Qt::Uninitialized);
    int written = 0;
    int last = 0;
    auto *out = reinterpret_cast<unsigned char *>(result.data());
    if (EVP_CipherUpdate(context.get(), out, &written, reinterpret_cast<const unsigned char *>(input.constData()),
                         int(input.size())) != 1
        || EVP_CipherFinal_ex(context.get(), out + written, &last) != 1)
        libcryptoFailed(what);
    result.truncate(written + last);
    return result;
}

void randomBytes(char *out, int count)
{
    if (RAND_bytes(reinterpret_cast<unsigned char *>(out), count) != 1)
        libcryptoFailed("生成随机数");
}
