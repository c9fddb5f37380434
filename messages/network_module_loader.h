#pragma once

#include "network_module.h"

#include <QByteArray>
#include <QString>

#include <memory>

// A network module loaded from a file, or why it could not be. It stays
// loaded for the life of the process: exchanges may still be running on
// other threads when this object goes at exit.
class NetworkModuleLoad {
public:
    // The module's path (a bare name would be looked up as the dynamic
    // loader does).
    explicit NetworkModuleLoad(const QByteArray &file);

    const NetworkModule *module() const { return module_; }
    // The technical cause when module() is null.
    const QString &problem() const { return problem_; }

private:
    struct Close {
        void operator()(void *handle) const;
    };
    std::unique_ptr<void, Close> handle_;
    const NetworkModule *module_ = nullptr;
    QString problem_;
};

// The process's one module, loaded by whichever thread asks first.
const NetworkModuleLoad &networkModule();

// The module, or PostFailure::NetworkModule thrown with why it is missing.
const NetworkModule &requireNetworkModule();

// Why the module cannot be loaded, for the user, with what to do.
QString networkModuleMissing(const QString &problem);

// For tests: the file networkModule() loads instead of the installed one;
// to be set before the process's first exchange.
void setNetworkModuleFileForTests(const QByteArray &file);
