#include "network_module_loader.h"

#include "network_module_location.h"
#include "post_failure.h"

#include <QFile>

#include <dlfcn.h>

namespace {

// Empty: the one for the running program.
QByteArray &moduleFile()
{
    static QByteArray file;
    return file;
}

} // namespace

void NetworkModuleLoad::Close::operator()(void *handle) const
{
    dlclose(handle);
}

NetworkModuleLoad::NetworkModuleLoad(const QByteArray &file)
    // Never unmapped, even by the close at exit: a worker may be in it still.
    : handle_(dlopen(file.constData(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE))
{
    if (!handle_) {
        problem_ = QString::fromLocal8Bit(dlerror());
        return;
    }
    using Entry = const NetworkModule *(*)();
    const auto entry = reinterpret_cast<Entry>(dlsym(handle_.get(), kNetworkModuleEntry));
    if (!entry) {
        problem_ = QString::fromLocal8Bit(dlerror());
        return;
    }
    const NetworkModule *module = entry();
    if (qstrcmp(module->version, VELTRANE_VERSION) != 0) {
        problem_ = QStringLiteral("%1 是 %2 版的,程序是 %3 版的")
                       .arg(QString::fromLocal8Bit(file), QString::fromUtf8(module->version),
                            QStringLiteral(VELTRANE_VERSION));
        return;
    }
    module_ = module;
}

const NetworkModuleLoad &networkModule()
{
    static const NetworkModuleLoad load(
        !moduleFile().isEmpty() ? moduleFile()
                                : QFile::encodeName(networkModulePath(runningProgram(), thisBuildsModulePlaces())));
    return load;
}

const NetworkModule &requireNetworkModule()
{
    const NetworkModuleLoad &load = networkModule();
    if (!load.module())
        throw PostFailure(PostFailure::NetworkModule, networkModuleMissing(load.problem()));
    return *load.module();
}

QString networkModuleMissing(const QString &problem)
{
    return QStringLiteral("无法载入程序的网络模块,请重新安装本程序 (%1)").arg(problem);
}

void setNetworkModuleFileForTests(const QByteArray &file)
{
    moduleFile() = file;
}

ExchangeResult runExchange(const ExchangeRequest &request, const ExchangeSettings &settings, ExchangeCancel &cancel)
{
    const NetworkModuleLoad &load = networkModule();
    if (!load.module()) {
        ExchangeResult result;
        result.moduleProblem = load.problem();
        return result;
    }
    return load.module()->runExchange(request, settings, cancel);
}
