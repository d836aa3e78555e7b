#include "data/git/PorcelainStatus.h"

#include "data/git/ProjectRepositoryStore.h"

#include <algorithm>

namespace tolvaran::Internal {

namespace {

constexpr QChar recordSeparator(0x1E);

// The first `fieldCount` space-separated fields of `entry` (empty fields skipped) and, as one
// more field, everything after the space that ends the last of them, spaces included. Fewer
// fields than asked, or nothing after them, give an empty list.
QStringList splitFields(const QString &entry, int fieldCount)
{
    QStringList fields;
    qsizetype position = 0;
    while (fields.size() < fieldCount) {
        while (position < entry.size() && entry.at(position) == QLatin1Char(' '))
            ++position;
        const qsizetype end = entry.indexOf(QLatin1Char(' '), position);
        if (position >= entry.size() || end < 0)
            return {};
        fields.append(entry.mid(position, end - position));
        position = end + 1;
    }
    if (position >= entry.size())
        return {};
    fields.append(entry.mid(position));
    return fields;
}

QStringList uniqueSorted(QStringList paths)
{
    // QString's operator< compares UTF-16 code units: plain character-code order.
    std::sort(paths.begin(), paths.end());
    paths.erase(std::unique(paths.begin(), paths.end()), paths.end());
    return paths;
}

} // namespace

std::optional<PorcelainChangeRecord> PorcelainChangeRecord::parse(const QString &entry)
{
    if (entry.startsWith(QLatin1String("? "))) {
        return PorcelainChangeRecord{entry.mid(2), QLatin1Char('?'), QLatin1Char('?'), true};
    }
    int fieldsBeforePath = 0;
    if (entry.startsWith(QLatin1String("1 ")))
        fieldsBeforePath = 8;
    else if (entry.startsWith(QLatin1String("2 ")))
        fieldsBeforePath = 9;
    else if (entry.startsWith(QLatin1String("u ")))
        fieldsBeforePath = 10;
    else
        return std::nullopt;
    const QStringList fields = splitFields(entry, fieldsBeforePath);
    if (fields.size() != fieldsBeforePath + 1 || fields.at(1).size() != 2)
        return std::nullopt;
    return PorcelainChangeRecord{fields.last(), fields.at(1).at(0), fields.at(1).at(1), false};
}

PorcelainStatus PorcelainStatus::parse(const QString &output)
{
    PorcelainStatus status;
    QStringList records;
    QStringList changed;
    QStringList untracked;
    const QStringList entries = output.split(QChar(0), Qt::SkipEmptyParts);
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const QString &entry = entries.at(i);
        if (entry.startsWith(QLatin1String("# branch.oid "))) {
            const QString oid = entry.mid(13);
            status.headSHA = oid == QLatin1String("(initial)") ? std::nullopt
                                                               : std::optional<QString>(oid);
            continue;
        }
        if (entry.startsWith(QLatin1String("# branch.head "))) {
            const QString head = entry.mid(14);
            status.branch = head == QLatin1String("(detached)") ? std::nullopt
                                                                : std::optional<QString>(head);
            continue;
        }
        // A rename or copy entry is always followed by its original path as a field of its
        // own. It is consumed here whatever it looks like, so that a file named like an entry
        // ("1 ...", "? x") is never counted as one.
        if (entry.startsWith(QLatin1String("2 ")))
            ++i;
        const auto record = PorcelainChangeRecord::parse(entry);
        if (!record)
            continue;
        records.append(entry);
        if (record->isUntracked) {
            ++status.untrackedCount;
            untracked.append(record->path);
        } else {
            if (record->indexStatus != QLatin1Char('.'))
                ++status.stagedCount;
            if (record->worktreeStatus != QLatin1Char('.'))
                ++status.modifiedCount;
        }
        if (changed.size() < maximumChangedFiles
            && ProjectRepositoryStore::canShare(record->path)) {
            changed.append(record->path);
        }
    }
    status.changedFiles = uniqueSorted(changed);
    untracked.removeIf(
        [](const QString &path) { return !ProjectRepositoryStore::canShare(path); });
    status.untrackedFiles = uniqueSorted(untracked);
    status.fingerprintInput = records.join(recordSeparator);
    return status;
}

} // namespace tolvaran::Internal
