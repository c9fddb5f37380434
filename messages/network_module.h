#pragma once

#include "curl_exchange.h"

// What the network module (libcurl, and through it TLS and its many
// libraries, with the content decoders) gives the message layer. The
// programs load it at their first exchange rather than link it: linking it
// made every start pay for loading and relocating some thirty libraries
// before the first window was painted.
struct NetworkModule {
    // The project version the module was built as; a module of another
    // build is refused, since the shapes passed below may differ.
    const char *version;
    ExchangeResult (*runExchange)(const ExchangeRequest &, const ExchangeSettings &, ExchangeCancel &);
};

// The module's file name (network_module_location.h says where it is).
inline constexpr char kNetworkModuleFile[] = "veltrane-network.so";
// Its one exported function.
inline constexpr char kNetworkModuleEntry[] = "veltrane_network_module";
extern "C" const NetworkModule *veltrane_network_module();
