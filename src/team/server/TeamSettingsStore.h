#pragma once

#include "platform/ApplicationSupport.h"
#include "team/wire/TeamInstallation.h"
#include "team/wire/TeamInstallationRole.h"

#include <QObject>
#include <QString>

#include <optional>

namespace tolvaran {

class KeyValueStore;

// One team profile of this installation: what the user typed (display name, team name, on or
// off), the device identity, the installation identity the server assigned (team ID, role) and
// the profile's two secrets, the shared team key and the installation credential.
//
// Settings live in the user defaults under the profile's key prefix. The secrets live only in
// two files of the application-support folder (the legacy profile's directly in it, others'
// in "teams/<profile ID>"), are read from disk on every use and are never kept in memory, so
// a secret changed on disk takes effect at the next request.
//
// The published values (isEnabled, memberName, teamName, hasStoredKey) are an edit buffer:
// the screens change them directly and save() puts them into the defaults. GUI thread only.
class TeamSettingsStore final : public QObject
{
    Q_OBJECT

public:
    static constexpr qsizetype maximumNameLength = 80; // characters
    static constexpr qsizetype minimumKeyLength = 24;  // characters
    // Bytes of randomness in a generated key or credential (43 characters once encoded).
    static constexpr qsizetype generatedSecretBytes = 32;

    static inline const QString legacyProfileID = QStringLiteral("legacy");
    static inline const QString defaultTeamName = QStringLiteral("New Team");
    static inline const QString keyFileName = QStringLiteral("team-key");
    static inline const QString credentialFileName =
        QStringLiteral("team-installation-credential");

    // Opens the profile `profileID` in `defaults`: the legacy layout (prefix "team", files in
    // the base folder) or a profile's own ("teams.<ID>", files in "teams/<ID>"). Its secret
    // files live under `applicationSupportDirectory`; an empty one means the folder cannot be
    // determined: secrets then read as absent and cannot be written. Removes the copies of its
    // secrets that interrupted writes left, writes a new device ID when the profile has none,
    // and switches on (and saves so) a profile that holds a key or a registration.
    TeamSettingsStore(KeyValueStore &defaults, const QString &profileID, bool useLegacyStorage,
                      const QString &applicationSupportDirectory =
                          defaultApplicationSupportDirectory(),
                      QObject *parent = nullptr);

    bool isEnabled() const { return m_isEnabled; }
    void setEnabled(bool enabled);
    // The user defaults the profile lives in (shared by every profile and subsystem).
    KeyValueStore &defaults() const { return m_defaults; }
    const QString &memberName() const { return m_memberName; }
    void setMemberName(const QString &name);
    const QString &teamName() const { return m_teamName; }
    void setTeamName(const QString &name);
    bool hasStoredKey() const { return m_hasStoredKey; }
    void setHasStoredKey(bool stored);

    const QString &deviceID() const { return m_deviceID; }
    const QString &profileID() const { return m_profileID; }
    const QString &keyPrefix() const { return m_keyPrefix; }
    const std::optional<QString> &credentialDirectoryComponent() const
    {
        return m_credentialDirectoryComponent;
    }

    // The trimmed secret, or nothing when its file is missing, unreadable or blank.
    std::optional<QString> readKey() const;
    std::optional<QString> readCredential() const;
    std::optional<QString> teamID() const;
    std::optional<TeamInstallationRole> installationRole() const;
    // A team ID together with a readable credential. The ID is looked at first, so a profile
    // that was never registered reads no file.
    bool hasRegistration() const;
    // "Device <team ID>.<device ID>.<credential>" for a registered profile, else
    // "Bearer <key>" when a key is stored, else nothing.
    std::optional<QString> authorizationHeader() const;
    bool hasConfiguredMembership() const;
    // Whether this profile already holds a membership of the team that `key` opens, whose
    // installations the server listed (none when it did not say): it keeps that key, or its
    // registered device is one of them.
    bool isMembershipOf(const QString &key, const QList<TeamInstallation> &installations) const;

    // Throws TeamSettingsError when a trimmed name is empty or longer than 80 characters (the
    // display name is checked first). Changes nothing.
    void validateFields() const;
    // Stores the edit buffer and, when `newKey` is not blank, the key (trimmed). A key other
    // than the stored one drops the installation identity: a new key is a new membership.
    // Throws TeamSettingsError; a validation or key-length error leaves everything as it was.
    void save(const std::optional<QString> &newKey = std::nullopt);
    // Keeps the server's name (its first 80 characters) when it is not blank, at once.
    void applyServerTeamName(const QString &name);
    // Stores a registration: the credential first, so that a failure stores nothing else.
    // Throws TeamSettingsError (credentialStorageFailure).
    void saveInstallation(const QString &teamID, const QString &credential,
                          TeamInstallationRole role);
    void updateInstallationRole(std::optional<TeamInstallationRole> role);
    void clearTeamKeyForMember();
    // Stores a team key as given. Throws TeamSettingsError (credentialStorageFailure); the old
    // key then stays. Leaves hasStoredKey to the caller.
    void writeKey(const QString &key);
    // Forgets the profile on this computer: its secrets with any copies of them (a profile's
    // own folder as a whole), then its settings.
    void removeStoredProfile();

    // Where a secret file of this profile lives; nothing when the folder cannot be determined.
    std::optional<QString> credentialsFilePath(const QString &name) const;

    // A fresh random secret: 32 bytes in URL-safe Base64 without padding (43 characters).
    static QString generateTeamKey();

Q_SIGNALS:
    void isEnabledChanged(bool enabled);
    void memberNameChanged(const QString &name);
    void teamNameChanged(const QString &name);
    void hasStoredKeyChanged(bool stored);

private:
    QString key(const char *suffix) const;
    void writeCredential(const QString &credential);
    void writeSecret(const QString &name, const QString &secret);
    void clearInstallationIdentity();

    KeyValueStore &m_defaults;
    QString m_profileID;
    QString m_keyPrefix;
    std::optional<QString> m_credentialDirectoryComponent;
    QString m_applicationSupportDirectory;
    QString m_deviceID;
    bool m_isEnabled = false;
    QString m_memberName;
    QString m_teamName;
    bool m_hasStoredKey = false;
};

} // namespace tolvaran
