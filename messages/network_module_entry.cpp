#include "crypto_primitives.h"
#include "network_module.h"

#include <QtGlobal>

extern "C" Q_DECL_EXPORT const NetworkModule *veltrane_network_module()
{
    static constexpr NetworkModule module{VELTRANE_VERSION, &runCurlExchange, &sha1Digest, &equalInConstantTime,
                                          &aes256Cbc, &randomBytes};
    return &module;
}
