#include "self_signed_certificate.h"

#include <openssl/ec.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

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
    // Clients match an address against the alternative names, not the common name.
    X509_EXTENSION *alternativeName = X509V3_EXT_conf_nid(nullptr, nullptr, NID_subject_alt_name, "IP:127.0.0.1");
    X509_add_ext(certificate_, alternativeName, -1);
    X509_EXTENSION_free(alternativeName);
    if (X509_sign(certificate_, key_, EVP_sha256()) == 0)
        throw std::runtime_error("cannot sign the certificate");
}

SelfSignedCertificate::~SelfSignedCertificate()
{
    X509_free(certificate_);
    EVP_PKEY_free(key_);
}

QByteArray SelfSignedCertificate::pem() const
{
    BIO *memory = BIO_new(BIO_s_mem());
    PEM_write_bio_X509(memory, certificate_);
    char *data = nullptr;
    const long length = BIO_get_mem_data(memory, &data);
    const QByteArray pem(data, length);
    BIO_free(memory);
    return pem;
}
