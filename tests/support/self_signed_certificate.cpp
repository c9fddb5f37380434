#include "self_signed_certificate.h"

#include <openssl/ec.h>

#include <stdexcept>

SelfSignedCertificate::SelfSignedCertificate()
    : key_(EVP_EC_gen("P-256"))
    , certificate_(X509_new())
{
    if (!key_ || !certificate_)
        throw std::runtime_error("cannot make a key and a certificate");
    X509_set_version(certificate_, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(certificate_), 1);
    X509_gmtime_adj(X509_getm_notBefore(certificate_), -60);
    X509_gmtime_adj(X509_getm_notAfter(certificate_), 24 * 3600);
    X509_set_pubkey(certificate_, key_);
    X509_NAME *name = X509_get_subject_name(certificate_);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char *>("127.0.0.1"), -1, -1, 0);
    X509_set_issuer_name(certificate_, name);
    if (X509_sign(certificate_, key_, EVP_sha256()) == 0)
        throw std::runtime_error("cannot sign the certificate");
}

SelfSignedCertificate::~SelfSignedCertificate()
{
    X509_free(certificate_);
    EVP_PKEY_free(key_);
}
