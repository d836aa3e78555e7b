#pragma once

#include <QByteArray>
#include <QSize>

#include <optional>

namespace tolvaran::markdown {

// The picture of an icon file (ICO or CUR) that Qt's reader shows: the first of its
// directory, whatever the others' sizes. Newer icons hold it as a PNG file, which Qt's reader
// would read with Qt's PNG reader, inflating its data to the end whatever the picture's size
// (a file of a few megabytes can hold gigabytes of it); it is read as any PNG is instead.
// Older ones hold a bitmap, which Qt's reader decodes in the time its rows take.
struct IconEntry final
{
    // The PNG file, exactly the bytes the directory gives it, as Qt's reader takes them;
    // empty for a bitmap.
    QByteArray png;
    // A bitmap's pixels as Qt's reader draws them: the size the directory gives, a side it
    // gives as 0 read from the bitmap's header, whatever else the header claims.
    QSize bitmapSize;

    bool isPng() const { return !png.isEmpty(); }

    // None where `bytes` are no icon file, or its first picture is neither a PNG file nor a
    // bitmap of at most 256 pixels a side, or lies outside the file.
    static std::optional<IconEntry> read(const QByteArray &bytes);
};

} // namespace tolvaran::markdown
