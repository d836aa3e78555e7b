// Times palette and grey PNG pictures read by the image decoder beside Qt's own PNG reader,
// whole (4096 by 4096) and shrunk as a document draws them (2400 by 1600 to 812 pixels wide),
// with the peak resident set of one read, each in a process of its own, and the bytes of the
// pixels kept. The goal: within 1.1 times Qt's reader's time and peak.
#include "helpers/ResidentSet.h"
#include "remote_image/RemoteImageDecoder.h"
#include "support/BenchFigures.h"
#include "support/markdown/TestImages.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

using namespace tolvaran::markdown;
using namespace tolvaran::fixtures;
using namespace tolvaran::fixtures::bench;

namespace {

constexpr int timedReads = 7;

struct Picture
{
    const char *name;
    QSize size;
    QImage::Format format;
    // The width it is drawn at; 0 for the whole picture.
    int drawnWidth;
};

const Picture pictures[] = {
    {"palette 4096 x 4096, whole", {4096, 4096}, QImage::Format_Indexed8, 0},
    {"grey 4096 x 4096, whole", {4096, 4096}, QImage::Format_Grayscale8, 0},
    {"palette 2400 x 1600, to 812 wide", {2400, 1600}, QImage::Format_Indexed8, 812},
    {"grey 2400 x 1600, to 812 wide", {2400, 1600}, QImage::Format_Grayscale8, 812},
};

QSize maximumSizeFor(int drawnWidth)
{
    return drawnWidth > 0 ? maximumSizeForWidth(drawnWidth) : QSize();
}

QImage readByOurs(const QByteArray &bytes, int drawnWidth)
{
    return RemoteImageDecoder().decode(bytes, {}, maximumSizeFor(drawnWidth)).image();
}

// As the decoder read every PNG before it had a reader of its own: Qt's reader, told the size
// the picture is drawn at.
QImage readByQts(const QByteArray &bytes, int drawnWidth)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "png");
    const QSize declared = reader.size();
    const QSize fitted = fittedPictureSize(declared, maximumSizeFor(drawnWidth));
    if (fitted != declared)
        reader.setScaledSize(fitted);
    return reader.read();
}

QImage readBy(const QString &reader, const QByteArray &bytes, int drawnWidth)
{
    return reader == QLatin1String("ours") ? readByOurs(bytes, drawnWidth)
                                           : readByQts(bytes, drawnWidth);
}

// Reads the file once in this process; prints the peak resident set in KiB and the bytes of
// the pixels kept.
int measure(const QString &reader, const QString &path, int drawnWidth)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 1;
    const QByteArray bytes = file.readAll();
    const QImage image = readBy(reader, bytes, drawnWidth);
    if (image.isNull())
        return 1;
    std::printf("%lld %lld\n", static_cast<long long>(residentSet().peak * 1024),
                static_cast<long long>(image.sizeInBytes()));
    return 0;
}

struct Figures
{
    double milliseconds = -1;
    double peakMegabytes = -1;
    double keptMegabytes = -1;
};

Figures figuresOf(const QString &reader, const QString &path, int drawnWidth)
{
    Figures figures;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return figures;
    const QByteArray bytes = file.readAll();
    figures.milliseconds = median(timedReads, [&] {
        return milliseconds([&] { readBy(reader, bytes, drawnWidth); });
    });
    QProcess process;
    process.start(QCoreApplication::applicationFilePath(),
                  {QStringLiteral("--measure"), reader, path, QString::number(drawnWidth)});
    if (process.waitForFinished(-1) && process.exitCode() == 0) {
        const QList<QByteArray> printed = process.readAllStandardOutput().simplified().split(' ');
        figures.peakMegabytes = printed.value(0).toDouble() / 1024;
        figures.keptMegabytes = printed.value(1).toDouble() / (1024 * 1024);
    }
    return figures;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.size() == 5 && arguments.at(1) == QLatin1String("--measure"))
        return measure(arguments.at(2), arguments.at(3), arguments.at(4).toInt());

    QTemporaryDir folder;
    std::printf("Palette and grey PNG pictures read by the decoder (ours) and by Qt's reader:\n"
                "median of %d reads; peak resident set of one read, each in a process of its "
                "own; pixels kept. Goal: ours within 1.1x Qt's time and peak.\n\n",
                timedReads);
    std::printf("%-34s %-5s %9s %9s %9s %11s\n", "picture", "", "time ms", "peak MB",
                "kept MB", "ours / Qt's");
    for (const Picture &picture : pictures) {
        const QString path = QDir(folder.path()).filePath(QString::fromLatin1(picture.name));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly)
            || file.write(pngOfDrawingAs(picture.size, picture.format,
                                         QString::fromLatin1(picture.name)))
                   < 0)
            return 1;
        file.close();
        const Figures ours = figuresOf(QStringLiteral("ours"), path, picture.drawnWidth);
        const Figures qts = figuresOf(QStringLiteral("qts"), path, picture.drawnWidth);
        std::printf("%-34s %-5s %9.1f %9.1f %9.2f %5.2f time\n", picture.name, "ours",
                    ours.milliseconds, ours.peakMegabytes, ours.keptMegabytes,
                    ours.milliseconds / qts.milliseconds);
        std::printf("%-34s %-5s %9.1f %9.1f %9.2f %5.2f peak\n", "", "Qt's", qts.milliseconds,
                    qts.peakMegabytes, qts.keptMegabytes,
                    ours.peakMegabytes / qts.peakMegabytes);
    }
    return 0;
}
