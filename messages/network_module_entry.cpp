#include "network_module.h"

#include <QtGlobal>

extern "C" Q_DECL_EXPORT const NetworkModule *veltrane_network_module()
{
    static constexpr NetworkModule module{VELTRANE_VERSION, &runCurlExchange};
    return &module;
}
