#include "team/server/TeamSettingsStore.h"

#include "platform/Graphemes.h"
#include "platform/storage/KeyValueStore.h"
#include "team/server/TeamSecretFile.h"
#include "team/server/TeamSettingsError.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSysInfo>
#include <QUuid>

#include <algorithm>

#include <pwd.h>
#include <unistd.h>

namespace tolvaran {

namespace {

// The name a new profile shows teammates until the user types one.
QString defaultMemberName()
{
    const QString host = QSysInfo::machineHostName();
    if (!host.isEmpty())
        return host;
    if (const passwd *entry = ::getpwuid(::getuid()); entry && entry->pw_name)
        return QString::fromLocal8Bit(entry->pw_name);
    return qEnvironmentVariable("USER");
}

bool isValidName(const QString &trimmed)
{
    return !trimmed.isEmpty() && graphemeCount(trimmed) <= TeamSettingsStore::maximumNameLength;
}

} // namespace

TeamSettingsStore::TeamSettingsStore(KeyValueStore &defaults, const QString &profileID,
                                     bool useLegacyStorage,
                                     const QString &applicationSupportDirectory, QObject *parent)
    : QObject(parent)
    , m_defaults(defaults)
    , m_profileID(profileID)
    , m_keyPrefix(useLegacyStorage ? QStringLiteral("team") : QStringLiteral("teams.") + profileID)
    , m_applicationSupportDirectory(applicationSupportDirectory)
{
    if (!useLegacyStorage)
        m_credentialDirectoryComponent = profileID;
    m_isEnabled = m_defaults.boolean(key(".enabled"));
    m_memberName = m_defaults.contains(key(".memberName")) ? m_defaults.string(key(".memberName"))
                                                           : defaultMemberName();
    m_teamName = m_defaults.contains(key(".name")) ? m_defaults.string(key(".name"))
                                                   : defaultTeamName;
    m_deviceID = m_defaults.string(key(".deviceID"));
    if (m_deviceID.isEmpty()) {
        m_deviceID = QUuid::createUuid().toString(QUuid::WithoutBraces).toLower();
        m_defaults.setValue(key(".deviceID"), m_deviceID);
    }
    // Copies of a secret that a write killed in the middle left behind go before anything
    // else reads the profile.
    for (const QString &name : {keyFileName, credentialFileName}) {
        if (const auto path = credentialsFilePath(name))
            TeamSecretFile::removeStaleCopies(*path);
    }
    m_hasStoredKey = readKey().has_value();
    // A profile that holds a membership is never left switched off by its stored flag.
    if (!m_isEnabled && (m_hasStoredKey || hasRegistration())) {
        m_isEnabled = true;
        m_defaults.setValue(key(".enabled"), true);
    }
}

QString TeamSettingsStore::key(const char *suffix) const
{
    return m_keyPrefix + QLatin1String(suffix);
}

void TeamSettingsStore::setEnabled(bool enabled)
{
    if (m_isEnabled == enabled)
        return;
    m_isEnabled = enabled;
    Q_EMIT isEnabledChanged(enabled);
}

void TeamSettingsStore::setMemberName(const QString &name)
{
    if (m_memberName == name)
        return;
    m_memberName = name;
    Q_EMIT memberNameChanged(name);
}

void TeamSettingsStore::setTeamName(const QString &name)
{
    if (m_teamName == name)
        return;
    m_teamName = name;
    Q_EMIT teamNameChanged(name);
}

void TeamSettingsStore::setHasStoredKey(bool stored)
{
    if (m_hasStoredKey == stored)
        return;
    m_hasStoredKey = stored;
    Q_EMIT hasStoredKeyChanged(stored);
}

std::optional<QString> TeamSettingsStore::credentialsFilePath(const QString &name) const
{
    if (m_applicationSupportDirectory.isEmpty())
        return std::nullopt;
    // The profile ID names a folder whose whole tree removeStoredProfile() deletes: one that
    // is not a plain folder name (a tampered defaults file) must not reach outside "teams".
    if (m_credentialDirectoryComponent
        && (m_credentialDirectoryComponent->isEmpty()
            || m_credentialDirectoryComponent->contains(QLatin1Char('/'))
            || *m_credentialDirectoryComponent == QLatin1String(".")
            || *m_credentialDirectoryComponent == QLatin1String(".."))) {
        return std::nullopt;
    }
    QString folder = m_applicationSupportDirectory;
    if (m_credentialDirectoryComponent)
        folder += QStringLiteral("/teams/") + *m_credentialDirectoryComponent;
    return folder + QLatin1Char('/') + name;
}

std::optional<QString> TeamSettingsStore::readKey() const
{
    const auto path = credentialsFilePath(keyFileName);
    return path ? TeamSecretFile::read(*path) : std::nullopt;
}

std::optional<QString> TeamSettingsStore::readCredential() const
{
    const auto path = credentialsFilePath(credentialFileName);
    return path ? TeamSecretFile::read(*path) : std::nullopt;
}

std::optional<QString> TeamSettingsStore::teamID() const
{
    const QString id = m_defaults.string(key(".id"));
    if (id.isEmpty())
        return std::nullopt;
    return id;
}

bool TeamSettingsStore::hasRegistration() const
{
    return teamID() && readCredential();
}

std::optional<TeamInstallationRole> TeamSettingsStore::installationRole() const
{
    return teamInstallationRoleFromRawValue(m_defaults.string(key(".installationRole")));
}

std::optional<QString> TeamSettingsStore::authorizationHeader() const
{
    if (const auto id = teamID()) {
        if (const auto credential = readCredential())
            return QStringLiteral("Device ") + *id + QLatin1Char('.') + m_deviceID
                   + QLatin1Char('.') + *credential;
    }
    if (const auto stored = readKey())
        return QStringLiteral("Bearer ") + *stored;
    return std::nullopt;
}

bool TeamSettingsStore::hasConfiguredMembership() const
{
    return m_isEnabled || m_hasStoredKey || hasRegistration();
}

bool TeamSettingsStore::isMembershipOf(const QString &key,
                                       const QList<TeamInstallation> &installations) const
{
    const QString typed = key.trimmed();
    if (!typed.isEmpty() && readKey() == typed)
        return true;
    if (!hasRegistration())
        return false;
    return std::any_of(installations.cbegin(), installations.cend(),
                       [this](const TeamInstallation &installation) {
                           return installation.deviceId == m_deviceID;
                       });
}

void TeamSettingsStore::validateFields() const
{
    if (!isValidName(m_memberName.trimmed()))
        throw TeamSettingsError(TeamSettingsError::Kind::invalidMemberName);
    if (!isValidName(m_teamName.trimmed()))
        throw TeamSettingsError(TeamSettingsError::Kind::invalidTeamName);
}

void TeamSettingsStore::save(const std::optional<QString> &newKey)
{
    const QString member = m_memberName.trimmed();
    const QString team = m_teamName.trimmed();
    validateFields();
    // A key of white space only is no key: storing it would drop the registration and leave
    // a key file that reads as absent. A key pasted with a stray space is the same key.
    const QString typedKey = newKey.value_or(QString()).trimmed();
    if (!typedKey.isEmpty()) {
        if (graphemeCount(typedKey) < minimumKeyLength)
            throw TeamSettingsError(TeamSettingsError::Kind::shortKey);
        if (readKey() != typedKey)
            clearInstallationIdentity();
        writeKey(typedKey);
    }
    if (m_isEnabled && !readKey() && !hasRegistration())
        throw TeamSettingsError(TeamSettingsError::Kind::missingKey);
    setMemberName(member);
    setTeamName(team);
    m_defaults.setValue(key(".enabled"), m_isEnabled);
    m_defaults.setValue(key(".memberName"), member);
    m_defaults.setValue(key(".name"), team);
    setHasStoredKey(readKey().has_value());
}

void TeamSettingsStore::applyServerTeamName(const QString &name)
{
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty())
        return;
    const QString kept = graphemePrefix(trimmed, maximumNameLength);
    setTeamName(kept);
    m_defaults.setValue(key(".name"), kept);
}

void TeamSettingsStore::saveInstallation(const QString &teamID, const QString &credential,
                                         TeamInstallationRole role)
{
    writeCredential(credential);
    m_defaults.setValue(key(".id"), teamID);
    m_defaults.setValue(key(".installationRole"), rawValue(role));
}

void TeamSettingsStore::updateInstallationRole(std::optional<TeamInstallationRole> role)
{
    if (role)
        m_defaults.setValue(key(".installationRole"), rawValue(*role));
    else
        m_defaults.remove(key(".installationRole"));
}

void TeamSettingsStore::clearInstallationIdentity()
{
    if (const auto path = credentialsFilePath(credentialFileName))
        TeamSecretFile::remove(*path);
    m_defaults.remove(key(".id"));
    m_defaults.remove(key(".installationRole"));
}

void TeamSettingsStore::clearTeamKeyForMember()
{
    if (const auto path = credentialsFilePath(keyFileName))
        TeamSecretFile::remove(*path);
    setHasStoredKey(false);
}

void TeamSettingsStore::writeSecret(const QString &name, const QString &secret)
{
    const auto path = credentialsFilePath(name);
    if (!path || !TeamSecretFile::write(*path, secret))
        throw TeamSettingsError(TeamSettingsError::Kind::credentialStorageFailure);
}

void TeamSettingsStore::writeKey(const QString &key)
{
    writeSecret(keyFileName, key);
}

void TeamSettingsStore::writeCredential(const QString &credential)
{
    writeSecret(credentialFileName, credential);
}

void TeamSettingsStore::removeStoredProfile()
{
    setEnabled(false);
    // The secrets go first: a removal cut short must not leave the key behind settings that
    // no longer name it.
    const auto keyPath = credentialsFilePath(keyFileName);
    if (keyPath && m_credentialDirectoryComponent) {
        QDir(QFileInfo(*keyPath).absolutePath()).removeRecursively();
    } else {
        // The legacy profile's files sit in the folder shared with the rest of our data.
        clearTeamKeyForMember();
        clearInstallationIdentity();
    }
    for (const char *suffix :
         {".enabled", ".memberName", ".name", ".deviceID", ".id", ".installationRole"}) {
        m_defaults.remove(key(suffix));
    }
}

QString TeamSettingsStore::generateTeamKey()
{
    QByteArray bytes(generatedSecretBytes, Qt::Uninitialized);
    for (char &byte : bytes)
        byte = char(QRandomGenerator::system()->generate64() & 0xff);
    return QString::fromLatin1(
        bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

} // namespace tolvaran
