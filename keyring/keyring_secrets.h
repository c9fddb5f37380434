#pragma once

#include <QString>

#include <optional>

// Secrets kept in the desktop's secret service (GNOME Keyring, KWallet),
// under the service "Veltrane", one entry a key. Each call waits for the
// service's answer in a local event loop: callers need the secret before
// they go on, and the service answers within moments (or asks the user to
// unlock the keyring, which is worth waiting for).

struct KeyringRead {
    bool answered = false;         // the service answered: the secret, or that it holds none
    std::optional<QString> secret; // what it holds under the key
    QString failure;               // why it did not answer
};

KeyringRead readKeyringSecret(const QString &key);

// Nothing: the service confirmed the write. Otherwise why it refused, or
// that none answered.
std::optional<QString> writeKeyringSecret(const QString &key, const QString &secret);
