#pragma once

#include "curl_exchange.h"

#include <QByteArray>
#include <QByteArrayView>

// What the network module (libcurl, and through it TLS and its many
// libraries, the content decoders and libcrypto) gives the message layer.
// The programs load it when they first post, sign or encrypt rather than
// link it: linking it made every start pay for loading and relocating some
// thirty libraries before the first window was painted.
struct NetworkModule {
    // The project version the module was built as; a module of another
    // build is refused, since the shapes passed below may differ.
    const char *version;
    ExchangeResult (*runExchange)(const ExchangeRequest &, const ExchangeSettings &, ExchangeCancel &);
    // crypto_primitives.h
    bool (*sha1Digest)(QByteArrayView data, QByteArray &digest);
    bool (*equalInConstantTime)(QByteArrayView a, QByteArrayView b);
    bool (*aes256Cbc)(const QByteArray &key, const QByteArray &input, bool encrypt, QByteArray &output);
    bool (*randomBytes)(char *out, int count);
};

// The module's file name (network_module_location.h says where it is).
inline constexpr char kNetworkModuleFile[] = "veltrane-network.so";
// Its one exported function.
inline constexpr char kNetworkModuleEntry[] = "veltrane_network_module";
extern "C" const NetworkModule *veltrane_network_module();
