#include "network_module_location.h"

#include "network_module.h"

#include <QDir>
#include <QFileInfo>

QString networkModulePath(const QString &program, const NetworkModulePlaces &places)
{
    if (program.startsWith(places.buildFolder + u'/'))
        return places.builtModule;
    const QString bin = QFileInfo(program).path();
    return QDir::cleanPath(bin + u'/' + places.installedFromBin + u'/' + QLatin1StringView(kNetworkModuleFile));
}

NetworkModulePlaces thisBuildsModulePlaces()
{
    // Resolved as the running program's path is, should the folder be reached through a link.
    const QString buildFolder = QStringLiteral(VELTRANE_BUILD_DIR);
    const QString canonical = QFileInfo(buildFolder).canonicalFilePath();
    return {canonical.isEmpty() ? buildFolder : canonical,
            QStringLiteral(VELTRANE_MODULE_BUILD_DIR "/") + QLatin1StringView(kNetworkModuleFile),
            QStringLiteral(VELTRANE_MODULE_FROM_BIN)};
}

QString runningProgram()
{
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
}
