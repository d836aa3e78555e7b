#pragma once

#include <QByteArray>

#include <memory>

typedef struct evp_pkey_st EVP_PKEY;

namespace tolvaran::fixtures {

// An Ed25519 key pair made for one test (OpenSSL), standing in for the maker's key.
class ReleaseSigningKey final
{
public:
    ReleaseSigningKey();
    ~ReleaseSigningKey();
    ReleaseSigningKey(const ReleaseSigningKey &) = delete;
    ReleaseSigningKey &operator=(const ReleaseSigningKey &) = delete;

    // The public key as 32 raw bytes, as the updater takes it.
    QByteArray publicKey() const;
    // The private key in PEM, as scripts/make-release.sh reads it.
    QByteArray privateKeyPem() const;
    // The 64-byte signature of `message`.
    QByteArray sign(const QByteArray &message) const;

private:
    struct KeyFree
    {
        void operator()(EVP_PKEY *key) const;
    };
    std::unique_ptr<EVP_PKEY, KeyFree> m_key;
};

} // namespace tolvaran::fixtures
