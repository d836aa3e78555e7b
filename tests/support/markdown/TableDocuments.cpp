#include "support/markdown/TableDocuments.h"

#include <QColor>
#include <QDir>
#include <QImage>
#include <QPainter>

namespace tolvaran::fixtures::markdown {

namespace {

QImage windowPicture(QSize size, const QColor &colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour.lighter(160));
    QPainter painter(&image);
    const int bar = std::max(1, size.height() / 12);
    painter.fillRect(0, 0, size.width(), bar, colour.darker(130));
    // Lines of "content" of falling length, so that a picture squeezed out of proportion
    // shows it.
    for (int line = 0; line < 5; ++line) {
        const int top = bar * (2 + 2 * line);
        painter.fillRect(bar, top, (size.width() - 2 * bar) * (5 - line) / 5, bar / 2 + 1,
                         colour);
    }
    painter.setPen(colour.darker(160));
    painter.drawRect(image.rect().adjusted(0, 0, -1, -1));
    return image;
}

// A word of `letters` letters, as a pasted hash or path writes one.
QString word(int letters)
{
    QString word;
    for (int letter = 0; letter < letters; ++letter)
        word += QChar(char16_t(u'a' + letter % 26));
    return word;
}

} // namespace

QString beforeAfterTable()
{
    return QStringLiteral("| Before | After |\n|---|---|\n"
                          "| ![The old window](before.png) | ![The new window](after.png) |\n");
}

bool writeBeforeAfterPictures(const QString &folder, QSize size)
{
    const QDir directory(folder);
    return windowPicture(size, QColor(0x3B, 0x6E, 0xB4))
               .save(directory.filePath(QStringLiteral("before.png")), "PNG")
           && windowPicture(size, QColor(0x2E, 0x8B, 0x57))
                  .save(directory.filePath(QStringLiteral("after.png")), "PNG");
}

QString longWordTable(int letters)
{
    return QStringLiteral("| Name | Value |\n|---|---|\n| checksum | %1 |\n| size | 12 kB |\n")
        .arg(word(letters));
}

QString tokenTable(const QStringList &headers, int letters)
{
    QStringList cells(headers.size() - 1, QStringLiteral("key"));
    cells.append(word(letters));
    return QStringLiteral("| %1 |\n|%2\n| %3 |\n")
        .arg(headers.join(QStringLiteral(" | ")), QStringLiteral("---|").repeated(headers.size()),
             cells.join(QStringLiteral(" | ")));
}

} // namespace tolvaran::fixtures::markdown
