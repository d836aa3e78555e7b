// The time to draw the forty pictures of a README through the decoding processes, beside the
// same pictures decoded in the program's own threads (as the program did before it decoded in
// processes of their own): badges and diagrams in SVG, icons and screenshots in PNG, photos
// in JPEG, GIF and WebP pictures, each read from the document's folder and decoded at the
// size an 860-pixel view draws it at, three at a time, as the loader's two decoding threads
// and its thread for costly pictures do. Through the processes, the first run starts them (cold);
// later runs find them started (warm). Each way runs in a process of its own, for its peak
// resident set; the decoding processes' own peaks are read before they end. The goal: within
// 1.2x of the program's own threads in time. With --largest, instead, the CPU time and memory
// of the costliest sound pictures, each in a decoding process of its own, which the
// processes' limits are set from.
#include "helpers/ResidentSet.h"
#include "remote_image/DefaultRemoteImageLoader.h"
#include "remote_image/RemoteImageDecoder.h"
#include "remote_image/decoding/PictureDecoderPool.h"
#include "support/BenchFigures.h"
#include "support/BuiltPrograms.h"
#include "support/markdown/TestImages.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

#include <unistd.h>

namespace {

using namespace tolvaran;
using namespace tolvaran::markdown;
namespace bench = tolvaran::fixtures::bench;

constexpr int runs = 7;
constexpr int threads = DefaultRemoteImageLoader::decodeThreadCount + 1;
constexpr double goal = 1.2;
const QSize drawnAt = maximumSizeForWidth(860);

// The README's pictures, as files named for their kind.
QList<std::pair<QString, QByteArray>> readmePictures()
{
    QList<std::pair<QString, QByteArray>> pictures;
    const auto add = [&pictures](int count, const QString &name,
                                 const std::function<QByteArray(int)> &make) {
        for (int i = 0; i < count; ++i)
            pictures.append({QStringLiteral("%1-%2").arg(name).arg(i), make(i)});
    };
    add(8, QStringLiteral("badge.svg"), [](int) { return fixtures::badgeWithSvgLogo(); });
    add(6, QStringLiteral("icon.png"),
        [](int i) { return fixtures::pngOfDrawing({64, 64}, 8, QString::number(i)); });
    add(6, QStringLiteral("screenshot.png"),
        [](int i) { return fixtures::pngOfDrawing({1600, 1000}, 8, QString::number(i)); });
    add(6, QStringLiteral("photo.jpg"),
        [](int i) { return fixtures::jpegOfDrawing({1920, 1080}, QString::number(i)); });
    add(4, QStringLiteral("animation.gif"),
        [](int i) { return fixtures::gifImage({480 + i, 320}); });
    add(4, QStringLiteral("picture.webp"),
        [](int i) { return fixtures::webpImage({1200 + i, 800}, false); });
    add(6, QStringLiteral("diagram.svg"),
        [](int i) { return fixtures::svgOfCoveringCircles({800, 600}, 150 + i); });
    return pictures;
}

// Milliseconds to read and decode every one of `files`, `threads` at a time, in this process
// or through the decoding processes, as the loader's threads do.
double decoded(const QStringList &files, bool inProcesses)
{
    QElapsedTimer timer;
    timer.start();
    std::atomic<int> next = 0;
    std::atomic<int> failed = 0;
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([&] {
            const RemoteImageDecoder decoder;
            const DecodeRequest request{RemoteImageDecodeLimits(), drawnAt, true};
            for (int i = next++; i < files.size(); i = next++) {
                QFile file(files[i]);
                if (!file.open(QIODevice::ReadOnly)) {
                    ++failed;
                    continue;
                }
                const QByteArray bytes = file.readAll();
                const RemoteImageResult result =
                    inProcesses ? PictureDecoderPool::shared().decode(bytes, request, {}).result
                                : decoder.decode(bytes, {}, drawnAt);
                if (!result.succeeded()) {
                    ++failed;
                    std::fprintf(stderr, "%s: %s\n", qPrintable(files[i]),
                                 qPrintable(result.error().message()));
                }
            }
        });
    for (std::thread &worker : workers)
        worker.join();
    return double(timer.nsecsElapsed()) / 1e6;
}

// The peak resident sets of this process's decoding processes, in MiB.
QList<double> decodingProcessPeaks()
{
    QList<double> peaks;
    for (QDirIterator it(QStringLiteral("/proc"), QDir::Dirs | QDir::NoDotAndDotDot);
         it.hasNext();) {
        const QString folder = it.next();
        QFile stat(folder + QStringLiteral("/stat"));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const qsizetype end = line.lastIndexOf(')');
        const QList<QByteArray> fields = line.mid(end + 2).split(' ');
        if (!line.contains("(tolvaran-pictur") || fields.value(1).toLongLong() != ::getpid())
            continue;
        peaks.append(bench::residentSet(it.fileName().toLongLong()).peak);
    }
    return peaks;
}

// One way, in this process: prints its runs' times and this process's peak.
int runOneWay(bool inProcesses, const QString &folderPath)
{
    QStringList files;
    for (const QString &name : QDir(folderPath).entryList(QDir::Files))
        files.append(QDir(folderPath).filePath(name));
    QTextStream out(stdout);
    std::vector<double> times;
    for (int run = 0; run < runs; ++run)
        times.push_back(decoded(files, inProcesses));
    out << times.front();
    for (std::size_t i = 1; i < times.size(); ++i)
        out << ' ' << times[i];
    out << '\n' << bench::residentSet().peak << '\n';
    for (const double peak : decodingProcessPeaks())
        out << peak << ' ';
    out << '\n';
    return 0;
}

// The costliest sound pictures of each kind: the most pixels allowed (or, for BMP, the most
// the download cap allows), decoded whole, each in a decoding process of its own; prints the
// CPU time and the peak resident set (of its own pages and all) each takes, beside the limits.
int printLargest()
{
    const QSize largest(4096, 4096);
    const struct
    {
        const char *name;
        QByteArray bytes;
    } pictures[] = {
        {"PNG drawing, 8 bits a channel", fixtures::pngOfDrawing(largest, 8, QStringLiteral("largest"))},
        {"PNG drawing, 16 bits a channel", fixtures::pngOfDrawing(largest, 16, QStringLiteral("largest"))},
        {"progressive JPEG", fixtures::progressiveJpeg(largest)},
        {"JPEG drawing", fixtures::jpegOfDrawing(largest, QStringLiteral("largest"), 95)},
        {"arithmetic-coded progressive JPEG", fixtures::arithmeticJpeg(largest, true)},
        {"GIF", fixtures::gifImage(largest)},
        {"lossless WebP", fixtures::webpImage(largest, true)},
        {"lossy WebP", fixtures::webpImage(largest, false)},
        {"BMP of 2048 x 2048", fixtures::qtWritten({2048, 2048}, "BMP")},
        {"SVG of 11 covering circles", fixtures::svgOfCoveringCircles(largest, 11)},
    };
    const DecoderProcessLimits limits{PictureDecoderPool::cpuTimePerPicture,
                                      PictureDecoderPool::memoryPerProcess,
                                      PictureDecoderPool::idleLifetime,
                                      PictureDecoderPool::timePerPicture};
    QTextStream out(stdout);
    out << "The costliest sound pictures, each decoded whole in a process of its own (limits: "
        << limits.cpuTimePerPicture.count() << " ms of CPU, "
        << limits.memoryBytes / (1 << 20) << " MiB of its own memory):\n";
    const long ticks = ::sysconf(_SC_CLK_TCK);
    for (const auto &picture : pictures) {
        auto started = PictureDecoderProcess::start(PictureDecoderPool::program(), limits);
        auto *process = std::get_if<std::unique_ptr<PictureDecoderProcess>>(&started);
        if (!process || picture.bytes.isEmpty()) {
            out << "  " << picture.name << ": not decoded here\n";
            continue;
        }
        const pid_t pid = (*process)->pid();
        const auto cpuTicks = [pid] {
            QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
            stat.open(QIODevice::ReadOnly);
            const QByteArray line = stat.readAll();
            const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
            return fields.value(11).toLongLong() + fields.value(12).toLongLong();
        };
        // Started (it answers), then measured from there.
        (*process)->decode(fixtures::pngImage({2, 2}), {{}, {}, true}, {});
        const qint64 before = cpuTicks();
        const DecoderOutcome outcome =
            (*process)->decode(picture.bytes, {RemoteImageDecodeLimits(), {}, true}, {});
        const bench::ResidentSet memory = bench::residentSet(pid);
        out << "  " << picture.name << " (" << picture.bytes.size() / 1024 << " KB): "
            << (outcome.result.succeeded() ? QStringLiteral("drawn")
                                           : outcome.result.error().message())
            << ", " << double(cpuTicks() - before) / double(ticks) << " s of CPU, peak "
            << memory.peak << " MiB\n";
    }
    return 0;
}

struct Figures
{
    std::vector<double> times;
    double peak = 0;
    QString processPeaks;
};

Figures measured(const QString &way, const QString &folder)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QCoreApplication::applicationFilePath(), {way, folder});
    process.waitForFinished(-1);
    const QList<QByteArray> lines = process.readAllStandardOutput().split('\n');
    Figures figures;
    for (const QByteArray &time : lines.value(0).split(' '))
        figures.times.push_back(time.toDouble());
    figures.peak = lines.value(1).toDouble();
    figures.processPeaks = QString::fromUtf8(lines.value(2)).trimmed();
    return figures;
}

} // namespace

int main(int argc, char *argv[])
{
    fixtures::nameBuiltPictureDecoder();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.size() == 3)
        return runOneWay(arguments[1] == QLatin1String("--processes"), arguments[2]);
    if (arguments.contains(QStringLiteral("--largest")))
        return printLargest();

    QTemporaryDir folder;
    qint64 bytes = 0;
    for (const auto &[name, picture] : readmePictures()) {
        QFile file(folder.filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(picture) != picture.size())
            return 1;
        bytes += picture.size();
    }
    QTextStream out(stdout);
    out << "Forty pictures of a README (" << bytes / 1024 << " KB): 8 SVG badges, 6 PNG icons, "
        << "6 PNG screenshots, 6 JPEG photos, 4 GIF, 4 WebP, 6 SVG diagrams; drawn 860 px wide, "
        << threads << " at a time; " << runs << " runs each way, each way in a process of its "
        << "own\n";
    const Figures here = measured(QStringLiteral("--here"), folder.path());
    const Figures there = measured(QStringLiteral("--processes"), folder.path());
    const std::vector<double> warm(there.times.begin() + 1, there.times.end());
    const std::vector<double> hereWarm(here.times.begin() + 1, here.times.end());
    const double hereMedian = bench::percentile(hereWarm, 0.5);
    const double warmMedian = bench::percentile(warm, 0.5);
    out << qSetRealNumberPrecision(4);
    out << "  in the program's own threads: first " << here.times.front() << " ms, then median "
        << hereMedian << " ms (min " << *std::min_element(hereWarm.begin(), hereWarm.end())
        << "); peak resident set " << here.peak << " MiB\n";
    out << "  in the decoding processes:    first (starting them) " << there.times.front()
        << " ms, then median " << warmMedian << " ms (min "
        << *std::min_element(warm.begin(), warm.end()) << "); peak resident set of the program "
        << there.peak << " MiB, of each decoding process " << there.processPeaks << " MiB\n";
    out << "  processes / own threads: " << warmMedian / hereMedian << "x warm, "
        << there.times.front() / here.times.front() << "x cold (goal: within " << goal
        << "x)\n";
    return 0;
}
