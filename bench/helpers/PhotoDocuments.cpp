#include "helpers/PhotoDocuments.h"

#include "helpers/CountingLoader.h"
#include "helpers/ImagesBenchView.h"
#include "helpers/ResidentCase.h"
#include "markdown_view/MarkdownView.h"
#include "support/network/LocalHttpServer.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QList>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextStream>

namespace tolvaran::fixtures::bench {

namespace {

// A document of a hundred photos, and one of two thousand.
constexpr int fewPhotos = 100;
constexpr int manyPhotos = 2000;
constexpr QSize photoSize{1600, 1200};
const QString photoName = QStringLiteral("photo.jpg");
// The JPEG quality the photo is written at.
constexpr int photoQuality = 90;
// How far the photos are read down before the jump back, a page every readingPageMilliseconds.
constexpr int photoPagesRead = 150;
constexpr double photoPeakGoal = 1.3;
// The longest one turn of the event loop takes while a page of the read-down shows.
constexpr int pageTurnMilliseconds = 10;

// The photo every address of the photo documents answers: noise, as a camera's picture of
// foliage or gravel compresses, about 2 MB as a JPEG.
bool writePhoto(const QString &folderPath)
{
    QImage photo(photoSize, QImage::Format_RGB32);
    QRandomGenerator random(photoSize.width());
    for (int y = 0; y < photo.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(photo.scanLine(y));
        for (int x = 0; x < photo.width(); ++x)
            line[x] = 0xff000000 | (random.generate() & 0xffffff);
    }
    QImageWriter writer(QDir(folderPath).filePath(photoName), "jpeg");
    writer.setQuality(photoQuality);
    return writer.write(photo);
}

} // namespace

bool measurePhotoDocument(const QString &folderPath, int count, QTextStream &figures)
{
    QFile file(QDir(folderPath).filePath(photoName));
    LocalHttpServer server;
    if (!file.open(QIODevice::ReadOnly) || !server.listen())
        return false;
    server.setResponse(u'/' + photoName, LocalHttpServer::Response::ok(file.readAll(),
                                                                     "image/jpeg"));
    const QString url = server.url(u'/' + photoName).toString();
    const auto address = [&](int i) { return QStringLiteral("%1?n=%2").arg(url).arg(i); };
    CountingLoader loader;
    auto view = openView(loader, viewWidth, document(count, address));
    const QUrl top(address(0));
    if (!processUntil([&] {
            view->viewport()->repaint();
            return view->documentLayout() && view->documentLayout()->isComplete()
                   && loader.asked(top) && !loader.loading(top);
        }))
        return false;
    QScrollBar *bar = view->verticalScrollBar();
    for (int page = 1; page <= photoPagesRead && page * bar->pageStep() <= bar->maximum();
         ++page) {
        bar->setValue(page * bar->pageStep());
        QElapsedTimer shown;
        shown.start();
        while (shown.elapsed() < readingPageMilliseconds) {
            view->viewport()->repaint();
            QApplication::processEvents(QEventLoop::AllEvents, pageTurnMilliseconds);
        }
    }
    QElapsedTimer sinceJump;
    sinceJump.start();
    bar->setValue(0);
    view->viewport()->repaint();
    // Drawn once its load has ended, whether its pixels were still held or asked for anew.
    if (!processUntil([&] {
            view->viewport()->repaint();
            return !loader.loading(top);
        }))
        return false;
    const qint64 jump = sinceJump.elapsed();
    if (!processUntil([&] { return loader.quiet(quietMilliseconds); }))
        return false;
    figures << jump << ' ';
    return true;
}

bool printPhotoDocuments(const QString &folderPath, QTextStream &out)
{
    if (!writePhoto(folderPath))
        return false;
    out << QStringLiteral("Photos of %1 x %2 (%3 KB each), each its own address on a local "
                          "server, read down %4 pages and back to the top, then every one "
                          "drawn, each document in a process of its own:\n")
               .arg(photoSize.width())
               .arg(photoSize.height())
               .arg(QFileInfo(QDir(folderPath).filePath(photoName)).size() / 1024)
               .arg(photoPagesRead);
    QList<double> photoPeaks;
    for (const int count : {fewPhotos, manyPhotos}) {
        QTemporaryDir photoCache;
        const QList<double> photos = residentCaseFigures(photosCase + QString::number(count),
                                                         folderPath, photoCache.path());
        if (photos.size() != 2) {
            out << QStringLiteral("  %1 photos: the reading failed\n").arg(count);
            continue;
        }
        photoPeaks.append(photos[1]);
        out << QStringLiteral("  %1 photos: peak resident set %2, the top photo drawn %3 ms "
                              "after the jump\n")
                   .arg(count, 5)
                   .arg(megabytes(photos[1]).trimmed())
                   .arg(photos[0], 0, 'f', 0);
    }
    if (photoPeaks.size() == 2)
        out << QStringLiteral("  %1 photos take %2 times the peak of %3   (goal: within %4; "
                              "before: 2.5 to 2.7 GB, the top photo after 20 to 23 s)\n")
                   .arg(manyPhotos)
                   .arg(photoPeaks[1] / photoPeaks[0], 0, 'f', 2)
                   .arg(fewPhotos)
                   .arg(photoPeakGoal);
    out.flush();
    return true;
}

} // namespace tolvaran::fixtures::bench
