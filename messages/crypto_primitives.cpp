#include "crypto_primitives.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <memory>

namespace {

struct CipherContextFree {
    void operator()(EVP_CIPHER_CTX *context) const { EVP_CIPHER_CTX_free(context); }
};
using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, CipherContextFree>;

} // namespace

bool sha1Digest(QByteArrayView data, QByteArray &digest)
{
    unsigned char bytes[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_Digest(data.data(), size_t(data.size()), bytes, &size, EVP_sha1(), nullptr) != 1)
        return false;
    digest = QByteArray(reinterpret_cast<const char *>(bytes), int(size));
    return true;
}

bool equalInConstantTime(QByteArrayView a, QByteArrayView b)
{
    return a.size() == b.size() && CRYPTO_memcmp(a.data(), b.data(), size_t(a.size())) == 0;
}

bool aes256Cbc(const QByteArray &key, const QByteArray &input, bool encrypt, QByteArray &output)
{
    output.clear();
    const CipherContext context(EVP_CIPHER_CTX_new());
    if (!context)
        return false;
    const auto *keyBytes = reinterpret_cast<const unsigned char *>(key.constData());
    if (EVP_CipherInit_ex(context.get(), EVP_aes_256_cbc(), nullptr, keyBytes, keyBytes, encrypt ? 1 : 0) != 1
        || EVP_CIPHER_CTX_set_padding(context.get(), 0) != 1)
        return false;
    QByteArray result(input.size() + 16, Qt::Uninitialized);
    int written = 0;
    int last = 0;
    auto *out = reinterpret_cast<unsigned char *>(result.data());
    if (EVP_CipherUpdate(context.get(), out, &written, reinterpret_cast<const unsigned char *>(input.constData()),
                         int(input.size())) != 1
        || EVP_CipherFinal_ex(context.get(), out + written, &last) != 1)
        return false;
    result.truncate(written + last);
    output = result;
    return true;
}

bool randomBytes(char *out, int count)
{
    return RAND_bytes(reinterpret_cast<unsigned char *>(out), count) == 1;
}
