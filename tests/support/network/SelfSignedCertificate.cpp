#include "support/network/SelfSignedCertificate.h"

#include <openssl/evp.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>

namespace tolvaran::fixtures {

namespace {

struct Free
{
    void operator()(EVP_PKEY *key) const { EVP_PKEY_free(key); }
    void operator()(X509 *certificate) const { X509_free(certificate); }
    void operator()(X509_EXTENSION *extension) const { X509_EXTENSION_free(extension); }
};

// `value` in DER, as OpenSSL's i2d functions write it.
template <typename T>
QByteArray der(int (*encode)(const T *, unsigned char **), const T *value)
{
    QByteArray bytes(encode(value, nullptr), Qt::Uninitialized);
    auto *out = reinterpret_cast<unsigned char *>(bytes.data());
    return bytes.isEmpty() || encode(value, &out) != bytes.size() ? QByteArray() : bytes;
}

SelfSignedCertificate make()
{
    const std::unique_ptr<EVP_PKEY, Free> key(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256"));
    const std::unique_ptr<X509, Free> certificate(X509_new());
    X509 *x509 = certificate.get();
    if (!key || !x509)
        return SelfSignedCertificate();
    X509_set_version(x509, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(x509), 1);
    // From a minute ago for a week, so that a clock a little behind takes it too.
    X509_gmtime_adj(X509_getm_notBefore(x509), -60);
    X509_gmtime_adj(X509_getm_notAfter(x509), 7L * 24 * 60 * 60);
    X509_NAME *name = X509_get_subject_name(x509);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char *>("127.0.0.1"), -1, -1, 0);
    X509_set_issuer_name(x509, name);
    X509_set_pubkey(x509, key.get());
    const std::unique_ptr<X509_EXTENSION, Free> names(X509V3_EXT_conf_nid(
        nullptr, nullptr, NID_subject_alt_name, "IP:127.0.0.1,DNS:localhost"));
    if (!names || X509_add_ext(x509, names.get(), -1) != 1
        || X509_sign(x509, key.get(), EVP_sha256()) == 0)
        return SelfSignedCertificate();
    SelfSignedCertificate made;
    made.certificate = QSslCertificate(der(i2d_X509, x509), QSsl::Der);
    made.key = QSslKey(der(i2d_PrivateKey, key.get()), QSsl::Ec, QSsl::Der);
    return made;
}

} // namespace

const SelfSignedCertificate &SelfSignedCertificate::loopback()
{
    static const SelfSignedCertificate made = make();
    return made;
}

} // namespace tolvaran::fixtures
