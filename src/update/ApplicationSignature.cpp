#include "update/ApplicationSignature.h"

#include "update/AppUpdateError.h"
#include "update/ApplicationFolder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <openssl/evp.h>

#include <algorithm>
#include <memory>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace tolvaran::ApplicationSignature {

namespace {

// A signature file holds 88 characters of base64 and perhaps a line feed.
constexpr qint64 maximumSignatureFileBytes = 1024;
constexpr qint64 hashChunkBytes = 1024 * 1024;

[[noreturn]] void refuse()
{
    throw AppUpdateError(AppUpdateError::Kind::invalidSignature);
}

void checkStop(const std::stop_token &stopToken)
{
    if (stopToken.stop_requested())
        throw AppUpdateError(AppUpdateErrorKind::system,
                             QStringLiteral("The update was stopped."));
}

bool hasControlCharacter(const QByteArray &name)
{
    return std::any_of(name.begin(), name.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; });
}

QByteArray fileHash(const QString &path, const std::stop_token &stopToken)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        refuse();
    const QByteArray hash = sha256(file, stopToken);
    if (hash.isEmpty())
        refuse();
    return hash;
}

// Walks `folder` depth first without following links; fills `entries` with (path, line).
void collect(const QString &folder, const QByteArray &relative,
             std::vector<std::pair<QByteArray, QByteArray>> &entries,
             const std::stop_token &stopToken)
{
    const QString directory = relative.isEmpty()
                                  ? folder
                                  : folder + QLatin1Char('/') + QString::fromUtf8(relative);
    const QStringList names = QDir(directory).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QString &name : names) {
        checkStop(stopToken);
        const QByteArray encodedName = name.toUtf8();
        if (hasControlCharacter(encodedName))
            refuse();
        const QByteArray path = relative.isEmpty() ? encodedName
                                                   : relative + '/' + encodedName;
        if (path == ApplicationFolder::signatureFileName.toUtf8())
            continue;
        const QString fullPath = directory + QLatin1Char('/') + name;
        struct stat status {};
        if (::lstat(QFile::encodeName(fullPath).constData(), &status) != 0)
            refuse();
        if (S_ISDIR(status.st_mode)) {
            entries.emplace_back(path, "d\t" + path + '\n');
            collect(folder, path, entries, stopToken);
        } else if (S_ISREG(status.st_mode)) {
            const char executable = (status.st_mode & S_IXUSR) ? 'x' : '-';
            entries.emplace_back(path, QByteArray("f\t") + executable + '\t'
                                           + fileHash(fullPath, stopToken) + '\t' + path
                                           + '\n');
        } else if (S_ISLNK(status.st_mode)) {
            std::vector<char> buffer(size_t(status.st_size) + 1);
            const ssize_t length = ::readlink(QFile::encodeName(fullPath).constData(),
                                              buffer.data(), buffer.size());
            if (length < 0 || size_t(length) >= buffer.size())
                refuse();
            const QByteArray written(buffer.data(), qsizetype(length));
            if (hasControlCharacter(written))
                refuse();
            entries.emplace_back(path, "l\t" + path + '\t' + written + '\n');
        } else {
            refuse();
        }
    }
}

struct KeyFree
{
    void operator()(EVP_PKEY *key) const { EVP_PKEY_free(key); }
};
struct ContextFree
{
    void operator()(EVP_MD_CTX *context) const { EVP_MD_CTX_free(context); }
};

} // namespace

QByteArray sha256(QFile &file, const std::stop_token &stopToken)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    while (true) {
        checkStop(stopToken);
        const QByteArray chunk = file.read(hashChunkBytes);
        if (chunk.isEmpty())
            break;
        hash.addData(chunk);
    }
    if (file.error() != QFileDevice::NoError)
        return {};
    return hash.result().toHex();
}

QByteArray canonicalListing(const QString &folder, const std::stop_token &stopToken)
{
    std::vector<std::pair<QByteArray, QByteArray>> entries;
    collect(folder, {}, entries, stopToken);
    std::sort(entries.begin(), entries.end(),
              [](const auto &a, const auto &b) { return a.first < b.first; });
    QByteArray listing;
    for (const auto &entry : entries)
        listing += entry.second;
    return listing;
}

bool verifyEd25519(const QByteArray &message, const QByteArray &signature,
                   const QByteArray &publicKey)
{
    constexpr qsizetype keyBytes = 32;
    constexpr qsizetype signatureBytes = 64;
    if (publicKey.size() != keyBytes || signature.size() != signatureBytes)
        return false;
    const std::unique_ptr<EVP_PKEY, KeyFree> key(EVP_PKEY_new_raw_public_key(
        EVP_PKEY_ED25519, nullptr, reinterpret_cast<const unsigned char *>(publicKey.constData()),
        size_t(publicKey.size())));
    const std::unique_ptr<EVP_MD_CTX, ContextFree> context(EVP_MD_CTX_new());
    if (!key || !context
        || EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1)
        return false;
    return EVP_DigestVerify(context.get(),
                            reinterpret_cast<const unsigned char *>(signature.constData()),
                            size_t(signature.size()),
                            reinterpret_cast<const unsigned char *>(message.constData()),
                            size_t(message.size()))
           == 1;
}

void verifyFolder(const QString &folder, const QByteArray &publicKey,
                  const std::stop_token &stopToken)
{
    const QString signaturePath = folder + QLatin1Char('/') + ApplicationFolder::signatureFileName;
    const QFileInfo info(signaturePath);
    if (info.isSymLink() || !info.isFile() || info.size() > maximumSignatureFileBytes)
        refuse();
    QFile file(signaturePath);
    if (!file.open(QIODevice::ReadOnly))
        refuse();
    const auto decoded = QByteArray::fromBase64Encoding(file.readAll().trimmed(),
                                                        QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        refuse();
    if (!verifyEd25519(canonicalListing(folder, stopToken), *decoded, publicKey))
        refuse();
}

} // namespace tolvaran::ApplicationSignature
