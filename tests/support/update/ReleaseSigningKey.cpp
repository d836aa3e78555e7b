#include "support/update/ReleaseSigningKey.h"

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <stdexcept>

namespace tolvaran::fixtures {

void ReleaseSigningKey::KeyFree::operator()(EVP_PKEY *key) const
{
    EVP_PKEY_free(key);
}

ReleaseSigningKey::ReleaseSigningKey()
    : m_key(EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519"))
{
    if (!m_key)
        throw std::runtime_error("could not make an Ed25519 key");
}

ReleaseSigningKey::~ReleaseSigningKey() = default;

QByteArray ReleaseSigningKey::publicKey() const
{
    QByteArray key(32, '\0');
    size_t length = size_t(key.size());
    if (EVP_PKEY_get_raw_public_key(m_key.get(), reinterpret_cast<unsigned char *>(key.data()),
                                    &length)
        != 1)
        throw std::runtime_error("could not read the public key");
    return key;
}

QByteArray ReleaseSigningKey::privateKeyPem() const
{
    BIO *bio = BIO_new(BIO_s_mem());
    PEM_write_bio_PrivateKey(bio, m_key.get(), nullptr, nullptr, 0, nullptr, nullptr);
    char *data = nullptr;
    const long length = BIO_get_mem_data(bio, &data);
    QByteArray pem(data, qsizetype(length));
    BIO_free(bio);
    return pem;
}

QByteArray ReleaseSigningKey::sign(const QByteArray &message) const
{
    EVP_MD_CTX *context = EVP_MD_CTX_new();
    QByteArray signature(64, '\0');
    size_t length = size_t(signature.size());
    const bool signedOk =
        EVP_DigestSignInit(context, nullptr, nullptr, nullptr, m_key.get()) == 1
        && EVP_DigestSign(context, reinterpret_cast<unsigned char *>(signature.data()), &length,
                          reinterpret_cast<const unsigned char *>(message.constData()),
                          size_t(message.size()))
               == 1;
    EVP_MD_CTX_free(context);
    if (!signedOk)
        throw std::runtime_error("could not sign");
    return signature;
}

} // namespace tolvaran::fixtures
