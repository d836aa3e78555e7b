#pragma once

#include "remote_image/RemoteImageError.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <variant>

namespace tolvaran::markdown {

// Where the bytes of a picture are while it waits for its decode: in memory as downloaded,
// set aside in a file of the loader's own (unlinked, so that nothing is left of it however
// the program ends), or in the file the picture is, read only when its decode starts. A
// document of thousands of pictures downloads them faster than they decode; their bytes wait
// on disk rather than in memory. A value: copies share what they hold.
class PictureBytes final
{
public:
    // Downloaded bytes, held in memory until setAside().
    static PictureBytes held(QByteArray bytes);
    // The picture's own file, read up to `maximumBytes`.
    static PictureBytes ofFile(QString path, qint64 maximumBytes);

    // The bytes held in memory (none once set aside, none of a file).
    qsizetype heldBytes() const;
    // Moves held bytes to an unlinked file in `folder`; false (they stay held) where the folder
    // cannot take one.
    bool setAside(const QString &folder);
    // The bytes, read where they are (on a decoding thread): transferFailed where the file
    // cannot be read, downloadTooLarge where a picture's file is over its limit.
    std::variant<QByteArray, RemoteImageError> read() const;

private:
    struct SetAside;
    struct PictureFile
    {
        QString path;
        qint64 maximumBytes = 0;
    };

    std::variant<QByteArray, std::shared_ptr<const SetAside>, PictureFile> m_where;
};

} // namespace tolvaran::markdown
