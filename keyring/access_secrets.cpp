#include "access_secrets.h"

#include "keyring_secrets.h"

#include <array>

namespace {

const std::array kSecrets = {
    AccessSecret{"access/token", &AccessSettings::token},
    AccessSecret{"access/aesKey", &AccessSettings::aesKey},
    AccessSecret{"access/apiV3Key", &AccessSettings::apiV3Key}, // payments' notifications key
};

} // namespace

std::span<const AccessSecret> accessSecrets()
{
    return kSecrets;
}

bool readAccessSecrets(AccessSettings &settings)
{
    AccessSettings read = settings;
    bool answered = false;
    for (const AccessSecret &secret : kSecrets) {
        const KeyringRead found = readKeyringSecret(QString::fromLatin1(secret.name));
        answered = answered || found.answered;
        read.*secret.field = found.secret.value_or(QString());
    }
    if (answered)
        settings = read;
    return answered;
}

std::optional<QString> writeAccessSecrets(const AccessSettings &settings)
{
    for (const AccessSecret &secret : kSecrets) {
        if (auto refused = writeKeyringSecret(QString::fromLatin1(secret.name), settings.*secret.field))
            return refused;
    }
    return std::nullopt;
}
