#include "pay/resource_cipher.h"

#include "http/post_failure.h"

#include <openssl/err.h>
#include <openssl/evp.h>

#include <memory>

namespace {

constexpr int kTagSize = 16;

struct CipherContextFree {
    void operator()(EVP_CIPHER_CTX *context) const { EVP_CIPHER_CTX_free(context); }
};
using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, CipherContextFree>;

const unsigned char *bytes(QByteArrayView data)
{
    return reinterpret_cast<const unsigned char *>(data.data());
}

[[noreturn]] void sealFailed()
{
    ERR_clear_error();
    throw PostFailure(PostFailure::Crypto, QStringLiteral("加密库 libcrypto 无法用 AES-256-GCM 加密通知的 resource，没有发送"));
}

// A context keyed for the nonce, the associated data already fed in.
CipherContext gcmContext(QByteArrayView key, QByteArrayView nonce, QByteArrayView associatedData, bool encrypt)
{
    CipherContext context(EVP_CIPHER_CTX_new());
    int ignored = 0;
    if (!context || key.size() != kApiV3KeySize || nonce.isEmpty()
        || EVP_CipherInit_ex(context.get(), EVP_aes_256_gcm(), nullptr, nullptr, nullptr, encrypt) != 1
        || EVP_CIPHER_CTX_ctrl(context.get(), EVP_CTRL_GCM_SET_IVLEN, int(nonce.size()), nullptr) != 1
        || EVP_CipherInit_ex(context.get(), nullptr, nullptr, bytes(key), bytes(nonce), encrypt) != 1
        || EVP_CipherUpdate(context.get(), nullptr, &ignored, bytes(associatedData), int(associatedData.size())) != 1)
        return nullptr;
    return context;
}

} // namespace

QByteArray sealResource(QByteArrayView key, QByteArrayView nonce, QByteArrayView associatedData,
                        QByteArrayView plaintext)
{
    const CipherContext context = gcmContext(key, nonce, associatedData, true);
    if (!context)
        sealFailed();
    QByteArray sealed(plaintext.size() + kTagSize, Qt::Uninitialized);
    auto *out = reinterpret_cast<unsigned char *>(sealed.data());
    int written = 0;
    int last = 0;
    if (EVP_CipherUpdate(context.get(), out, &written, bytes(plaintext), int(plaintext.size())) != 1
        || EVP_CipherFinal_ex(context.get(), out + written, &last) != 1
        || EVP_CIPHER_CTX_ctrl(context.get(), EVP_CTRL_GCM_GET_TAG, kTagSize, out + written + last) != 1)
        sealFailed();
    sealed.truncate(written + last + kTagSize);
    return sealed.toBase64();
}

std::optional<QByteArray> openResource(QByteArrayView key, QByteArrayView nonce, QByteArrayView associatedData,
                                       QByteArrayView ciphertextBase64)
{
    const auto decoded = QByteArray::fromBase64Encoding(ciphertextBase64.toByteArray(),
                                                        QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() < kTagSize)
        return std::nullopt;
    const QByteArray &sealed = decoded.decoded;
    const CipherContext context = gcmContext(key, nonce, associatedData, false);
    if (!context) {
        ERR_clear_error();
        return std::nullopt;
    }
    const qsizetype size = sealed.size() - kTagSize;
    QByteArray tag = sealed.right(kTagSize);
    QByteArray plain(size + kTagSize, Qt::Uninitialized);
    auto *out = reinterpret_cast<unsigned char *>(plain.data());
    int written = 0;
    int last = 0;
    // The tag is checked by the final step: a mismatch gives nothing back.
    if (EVP_CipherUpdate(context.get(), out, &written, bytes(sealed), int(size)) != 1
        || EVP_CIPHER_CTX_ctrl(context.get(), EVP_CTRL_GCM_SET_TAG, kTagSize, tag.data()) != 1
        || EVP_CipherFinal_ex(context.get(), out + written, &last) != 1) {
        ERR_clear_error();
        return std::nullopt;
    }
    plain.truncate(written + last);
    return plain;
}
