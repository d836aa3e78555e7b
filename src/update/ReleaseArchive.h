#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <stop_token>

namespace tolvaran {

// A release archive: a gzip-compressed tar archive holding one application folder,
// "Tolvaran/". It is unpacked by GNU tar (always present, and far better tested against
// hostile archives than a reader of our own could be), run through ProcessRunner with
// argument lists, after its listing has been read by the same tar and every entry checked:
// only folders, regular files and symbolic links; names relative, inside "Tolvaran/", free of
// ".." and control characters; links relative, without "..", so that no path through them
// can leave the folder; at most maximumEntries entries of at most maximumUnpackedBytes
// together. The extraction itself refuses to overwrite, never keeps owners and applies the
// umask (no set-user-id bits, even when run by root).
namespace ReleaseArchive {

inline constexpr int maximumEntries = 20'000;
inline constexpr qint64 maximumUnpackedBytes = 1024LL * 1024 * 1024;
// Listing and unpacking read the whole archive; copying writes the whole folder.
inline constexpr int toolTimeLimitMilliseconds = 10 * 60 * 1000;

struct Entry
{
    enum class Type { folder, file, link, hardLink, device, other };
    Type type = Type::other;
    QByteArray name;   // as stored, decoded from tar's C quoting
    QByteArray target; // links only
    qint64 size = 0;

    bool operator==(const Entry &) const = default;
};

// Parses `tar --list --verbose --numeric-owner --quoting-style=c` output. Throws
// AppUpdateError (unsafeArchive) on a line it cannot read.
QList<Entry> parseListing(const QByteArray &output);

// Throws AppUpdateError (unsafeArchive) unless every entry may be unpacked (see above).
void checkEntries(const QList<Entry> &entries);

// Lists `archive` with tar, checks the entries and unpacks it into `destination`, an empty
// private folder. Throws AppUpdateError: unsafeArchive for a refused entry, commandFailed
// with tar's output when tar fails, system when stopped.
void unpack(const QString &archive, const QString &destination,
            const std::stop_token &stopToken = {});

} // namespace ReleaseArchive
} // namespace tolvaran
