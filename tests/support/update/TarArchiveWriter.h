#pragma once

#include <QByteArray>
#include <QList>

namespace tolvaran::fixtures {

// Writes gzip-compressed tar archives entry by entry, exactly as told, hostile ones included
// (names with "..", absolute names, links out, devices), which the tar program refuses to
// make. ustar format; names up to 100 bytes.
class TarArchiveWriter final
{
public:
    enum class Type : char {
        file = '0',
        hardLink = '1',
        link = '2',
        characterDevice = '3',
        folder = '5',
        fifo = '6',
    };

    void add(Type type, const QByteArray &name, const QByteArray &contents = {},
             const QByteArray &linkTarget = {}, int mode = 0644);
    void addFile(const QByteArray &name, const QByteArray &contents, int mode = 0644)
    {
        add(Type::file, name, contents, {}, mode);
    }
    void addFolder(const QByteArray &name) { add(Type::folder, name, {}, {}, 0755); }

    // The archive, compressed with the gzip program.
    QByteArray gzipped() const;

private:
    QByteArray m_tar;
};

} // namespace tolvaran::fixtures
