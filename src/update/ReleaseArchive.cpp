#include "update/ReleaseArchive.h"

#include "platform/ProcessRunner.h"
#include "update/AppUpdateError.h"
#include "update/ApplicationFolder.h"

#include <QString>

#include <algorithm>

namespace tolvaran::ReleaseArchive {

namespace {

[[noreturn]] void refuse()
{
    throw AppUpdateError(AppUpdateError::Kind::unsafeArchive);
}

QString tarProgram()
{
    return ProcessRunner::findExecutable(QStringLiteral("tar"), {QStringLiteral("/usr/bin/tar"),
                                                                 QStringLiteral("/bin/tar")});
}

ProcessResult runTar(const QStringList &arguments, const std::stop_token &stopToken)
{
    ProcessRequest request;
    request.program = tarProgram();
    request.arguments = arguments;
    request.environment = {{QStringLiteral("LC_ALL"), QStringLiteral("C")}};
    request.timeoutMilliseconds = toolTimeLimitMilliseconds;
    request.stopToken = stopToken;
    ProcessResult result = ProcessRunner::run(request);
    if (result.cancelled)
        throw AppUpdateError(AppUpdateErrorKind::system,
                             QStringLiteral("The update was stopped."));
    if (!result.started)
        throw AppUpdateError(AppUpdateErrorKind::system, result.errorMessage);
    if (!result.succeeded())
        throw AppUpdateError(AppUpdateErrorKind::commandFailed,
                             QString::fromUtf8(result.standardError)
                                 + QString::fromUtf8(result.standardOutput)
                                 + (result.timedOut ? result.errorMessage : QString()));
    return result;
}

// Reads one C-quoted string starting at `position` (at its opening quote); moves `position`
// past the closing quote.
QByteArray readQuoted(const QByteArray &line, qsizetype &position)
{
    if (position >= line.size() || line[position] != '"')
        refuse();
    QByteArray text;
    ++position;
    while (position < line.size()) {
        const char c = line[position++];
        if (c == '"')
            return text;
        if (c != '\\') {
            text += c;
            continue;
        }
        if (position >= line.size())
            refuse();
        const char escaped = line[position++];
        switch (escaped) {
        case '\\': text += '\\'; break;
        case '"': text += '"'; break;
        case 'a': text += '\a'; break;
        case 'b': text += '\b'; break;
        case 'f': text += '\f'; break;
        case 'n': text += '\n'; break;
        case 'r': text += '\r'; break;
        case 't': text += '\t'; break;
        case 'v': text += '\v'; break;
        case '?': text += '?'; break;
        default:
            if (escaped >= '0' && escaped <= '7' && position + 1 < line.size()) {
                const QByteArray digits = line.mid(position - 1, 3);
                bool ok = false;
                const int value = digits.toInt(&ok, 8);
                if (!ok || value > 0xff)
                    refuse();
                text += char(value);
                position += 2;
            } else {
                refuse();
            }
        }
    }
    refuse();
}

Entry::Type typeOf(char letter)
{
    switch (letter) {
    case 'd': return Entry::Type::folder;
    case '-': return Entry::Type::file;
    case 'l': return Entry::Type::link;
    case 'h': return Entry::Type::hardLink;
    case 'c':
    case 'b': return Entry::Type::device;
    default: return Entry::Type::other;
    }
}

bool hasControlCharacter(const QByteArray &text)
{
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; });
}

// Whether the "/"-separated `path` names something at or below its start without "." or ".."
// steps or empty pieces (a trailing "/" of a folder entry aside).
bool isPlainRelativePath(QByteArray path)
{
    if (path.endsWith('/'))
        path.chop(1);
    if (path.isEmpty() || path.startsWith('/'))
        return false;
    const QList<QByteArray> pieces = path.split('/');
    return std::none_of(pieces.begin(), pieces.end(), [](const QByteArray &piece) {
        return piece.isEmpty() || piece == "." || piece == "..";
    });
}

} // namespace

QList<Entry> parseListing(const QByteArray &output)
{
    QList<Entry> entries;
    for (const QByteArray &line : output.split('\n')) {
        if (line.isEmpty())
            continue;
        const qsizetype quote = line.indexOf('"');
        if (quote < 0)
            refuse();
        const QList<QByteArray> fields = line.left(quote).simplified().split(' ');
        // mode, owner/group, size (or major,minor), date, time
        if (fields.size() != 5 || fields[0].size() < 10)
            refuse();
        Entry entry;
        entry.type = typeOf(fields[0][0]);
        qsizetype position = quote;
        entry.name = readQuoted(line, position);
        if (entry.type == Entry::Type::file) {
            bool ok = false;
            entry.size = fields[2].toLongLong(&ok);
            if (!ok || entry.size < 0)
                refuse();
        }
        if (entry.type == Entry::Type::link || entry.type == Entry::Type::hardLink) {
            const QByteArray separator = entry.type == Entry::Type::link ? " -> " : " link to ";
            if (line.mid(position, separator.size()) != separator)
                refuse();
            position += separator.size();
            entry.target = readQuoted(line, position);
        }
        if (position != line.size())
            refuse();
        entries.append(entry);
    }
    return entries;
}

void checkEntries(const QList<Entry> &entries)
{
    if (entries.isEmpty() || entries.size() > maximumEntries)
        refuse();
    const QByteArray top = ApplicationFolder::releaseFolderName.toUtf8();
    const QByteArray topFolder = top + '/';
    qint64 total = 0;
    for (const Entry &entry : entries) {
        if (entry.type != Entry::Type::folder && entry.type != Entry::Type::file
            && entry.type != Entry::Type::link)
            refuse();
        if (hasControlCharacter(entry.name) || !isPlainRelativePath(entry.name))
            refuse();
        const bool isTop = entry.name == top || entry.name == topFolder;
        if (isTop ? entry.type != Entry::Type::folder : !entry.name.startsWith(topFolder))
            refuse();
        if (entry.type == Entry::Type::link
            && (hasControlCharacter(entry.target) || !isPlainRelativePath(entry.target)))
            refuse();
        total += entry.size;
        if (total > maximumUnpackedBytes)
            refuse();
    }
}

void unpack(const QString &archive, const QString &destination, const std::stop_token &stopToken)
{
    const ProcessResult listing = runTar(
        {QStringLiteral("--list"), QStringLiteral("--verbose"), QStringLiteral("--numeric-owner"),
         QStringLiteral("--quoting-style=c"), QStringLiteral("--gzip"), QStringLiteral("--file"),
         archive},
        stopToken);
    checkEntries(parseListing(listing.standardOutput));
    // The archive sits in a private folder nobody else can write, so it is the one listed.
    runTar({QStringLiteral("--extract"), QStringLiteral("--gzip"), QStringLiteral("--file"),
            archive, QStringLiteral("--directory"), destination,
            QStringLiteral("--keep-old-files"), QStringLiteral("--no-same-owner"),
            QStringLiteral("--no-same-permissions")},
           stopToken);
}

} // namespace tolvaran::ReleaseArchive
