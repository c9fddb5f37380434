#pragma once

#include <QByteArray>

#include <openssl/evp.h>
#include <openssl/x509.h>

// A key and a certificate for 127.0.0.1 signed by that key alone, made in
// memory: no authority vouches for it, so a client must refuse it unless
// told to trust it.
class SelfSignedCertificate {
public:
    SelfSignedCertificate();
    ~SelfSignedCertificate();
    SelfSignedCertificate(const SelfSignedCertificate &) = delete;
    SelfSignedCertificate &operator=(const SelfSignedCertificate &) = delete;

    X509 *certificate() const { return certificate_; }
    EVP_PKEY *key() const { return key_; }
    // The certificate in PEM, for a client told to trust it.
    QByteArray pem() const;

private:
    EVP_PKEY *key_;
    X509 *certificate_;
};
