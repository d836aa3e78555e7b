#include "support/network/SelfSignedCertificate.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>

namespace tolvaran::fixtures {

namespace {

template <typename T, void (*Free)(T *)>
struct Freer
{
    void operator()(T *value) const { Free(value); }
};
using Key = std::unique_ptr<EVP_PKEY, Freer<EVP_PKEY, EVP_PKEY_free>>;
using Certificate = std::unique_ptr<X509, Freer<X509, X509_free>>;
using Memory = std::unique_ptr<BIO, Freer<BIO, BIO_free_all>>;

constexpr long validSeconds = 7L * 24 * 60 * 60;

bool addExtension(X509 *certificate, int nid, const char *value)
{
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
    X509_EXTENSION *extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
    if (!extension)
        return false;
    const bool added = X509_add_ext(certificate, extension, -1) == 1;
    X509_EXTENSION_free(extension);
    return added;
}

// What OpenSSL wrote to `memory`, in PEM.
QByteArray pemOf(BIO *memory)
{
    char *data = nullptr;
    const long length = BIO_get_mem_data(memory, &data);
    return QByteArray(data, length);
}

SelfSignedCertificate make()
{
    const Key key(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256"));
    const Certificate certificate(X509_new());
    if (!key || !certificate)
        return SelfSignedCertificate{QSslCertificate(), QSslKey()};
    X509 *x509 = certificate.get();
    X509_set_version(x509, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(x509), 1);
    // From a minute ago, so that a clock a little behind takes it too.
    X509_gmtime_adj(X509_getm_notBefore(x509), -60);
    X509_gmtime_adj(X509_getm_notAfter(x509), validSeconds);
    X509_NAME *name = X509_get_subject_name(x509);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char *>("127.0.0.1"), -1, -1, 0);
    X509_set_issuer_name(x509, name);
    X509_set_pubkey(x509, key.get());
    if (!addExtension(x509, NID_subject_alt_name, "IP:127.0.0.1,DNS:localhost")
        || !addExtension(x509, NID_basic_constraints, "critical,CA:TRUE")
        || !addExtension(x509, NID_key_usage, "critical,digitalSignature,keyCertSign")
        || X509_sign(x509, key.get(), EVP_sha256()) == 0)
        return SelfSignedCertificate{QSslCertificate(), QSslKey()};
    const Memory certificatePem(BIO_new(BIO_s_mem()));
    const Memory keyPem(BIO_new(BIO_s_mem()));
    if (!certificatePem || !keyPem || PEM_write_bio_X509(certificatePem.get(), x509) != 1
        || PEM_write_bio_PrivateKey(keyPem.get(), key.get(), nullptr, nullptr, 0, nullptr,
                                    nullptr)
               != 1)
        return SelfSignedCertificate{QSslCertificate(), QSslKey()};
    return {QSslCertificate(pemOf(certificatePem.get()), QSsl::Pem),
            QSslKey(pemOf(keyPem.get()), QSsl::Ec, QSsl::Pem)};
}

} // namespace

const SelfSignedCertificate &SelfSignedCertificate::loopback()
{
    static const SelfSignedCertificate made = make();
    return made;
}

} // namespace tolvaran::fixtures
