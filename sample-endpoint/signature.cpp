#include "signature.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <algorithm>
#include <array>
#include <stdexcept>

std::string SignatureOf(std::string_view token, std::string_view timestamp, std::string_view nonce)
{
    // std::string compares through char_traits<char>, which orders bytes as unsigned.
    std::array<std::string, 3> parts{std::string(token), std::string(timestamp), std::string(nonce)};
    std::sort(parts.begin(), parts.end());
    const std::string joined = parts[0] + parts[1] + parts[2];

    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_Digest(joined.data(), joined.size(), digest, &size, EVP_sha1(), nullptr) != 1)
        throw std::runtime_error("SHA-1 is not available from libcrypto");

    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(size * 2);
    for (unsigned int i = 0; i < size; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 0x0f];
    }
    return hex;
}

bool SignatureMatches(std::string_view token, std::string_view timestamp, std::string_view nonce,
                      std::string_view signature)
{
    const std::string expected = SignatureOf(token, timestamp, nonce);
    return signature.size() == expected.size()
        && CRYPTO_memcmp(signature.data(), expected.data(), expected.size()) == 0;
}
