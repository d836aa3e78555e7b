#include "LoaderWorld.h"

#include "remote_image/RemoteImageDecoder.h"
#include "remote_image/decoding/PictureDecoderPool.h"
#include "support/ProcessState.h"
#include "support/RestartedTestProgram.h"
#include "support/ScopedEnvironment.h"
#include "support/WaitUntil.h"
#include "support/markdown/HostilePictures.h"
#include "support/markdown/TestImages.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>
#include <cstring>
#include <thread>

namespace tolvaran::markdown {

namespace {

using Kind = RemoteImageErrorKind;
using Testing = PictureDecoderPoolTesting;
using fixtures::hasEnded;
using fixtures::processState;

// Whether Qt's image-format plug-ins, which read WebP, are installed.
bool imageFormatPluginsInstalled()
{
    return QImageReader::supportedImageFormats().contains("webp");
}

// The process's own memory: its anonymous resident pages.
qint64 anonymousResident(pid_t pid)
{
    QFile statm(QStringLiteral("/proc/%1/statm").arg(pid));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return (fields.value(1).toLongLong() - fields.value(2).toLongLong()) * ::sysconf(_SC_PAGESIZE);
}

DecodeRequest asked(QSize maximumSize = {}, RemoteImageDecodeLimits limits = {})
{
    return {limits, maximumSize, true};
}

// Limits under which no drawing is refused for its cost: the process's CPU time ends it.
RemoteImageDecodeLimits unboundedDrawing()
{
    RemoteImageDecodeLimits limits;
    limits.drawingBudget = std::numeric_limits<qint64>::max();
    return limits;
}

// About a minute of drawing: 20,000 translucent circles over four million pixels.
QByteArray costlySvg()
{
    return fixtures::svgOfCoveringCircles({2048, 2048}, 20000);
}

QByteArray qtWritten(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, format).write(image);
    return bytes;
}

// Decodes on a thread of its own, as the loader's threads do.
struct Decoding
{
    Decoding(PictureDecoderPool &pool, QByteArray bytes, DecodeRequest request)
        : thread([this, &pool, bytes = std::move(bytes), request] {
            outcome = pool.decode(bytes, request, stop.get_token());
            done = true;
        })
    {
    }
    ~Decoding()
    {
        stop.request_stop();
        thread.join();
    }

    std::stop_source stop;
    DecoderOutcome outcome;
    std::atomic<bool> done = false;
    std::thread thread;
};

TEST(PictureDecoderPool, picturesComeBackAsTheDecoderMadeThem)
{
    const auto pool = Testing::make(Testing::defaults());
    QImage palette(37, 11, QImage::Format_Indexed8);
    palette.setColorTable({qRgb(255, 0, 0), qRgba(0, 0, 255, 128), qRgb(9, 9, 9)});
    for (int y = 0; y < palette.height(); ++y)
        for (int x = 0; x < palette.width(); ++x)
            palette.setPixel(x, y, uint((x + y) % 3));
    const struct
    {
        const char *name;
        QByteArray bytes;
        QSize maximumSize;
    } rows[] = {
        {"png", fixtures::pngOfDrawing({301, 97}, 8, "png"), {}},
        {"png shrunk as it is read", fixtures::pngOfDrawing({640, 480}, 16, "deep"), {100, 100}},
        {"png of a palette", fixtures::pngOfDrawingAs({50, 40}, QImage::Format_Indexed8, "p"),
         {}},
        {"grey png", fixtures::pngOfDrawingAs({50, 41}, QImage::Format_Grayscale8, "g"), {}},
        {"png of one bit a pixel", fixtures::pngOfSamples({33, 9}, fixtures::pngGrey, 1, false,
                                                          false),
         {}},
        {"gif", fixtures::gifImage({45, 19}), {}},
        {"jpeg", fixtures::jpegOfDrawing({320, 200}, "jpeg"), {}},
        {"jpeg scaled as it is read", fixtures::jpegOfDrawing({800, 600}, "scaled"), {200, 200}},
        {"bmp", qtWritten(palette, "bmp"), {}},
        {"svg", fixtures::svgImage({90, 20}), {}},
        // Its fonts read in the sandbox, as they are here.
        {"svg of text", QByteArray("<svg xmlns='http://www.w3.org/2000/svg' width='120' "
                                   "height='20'><text x='2' y='15' font-family='DejaVu Sans' "
                                   "font-size='13'>Passing 123</text></svg>"),
         {}},
        {"svg shrunk", fixtures::svgOfCoveringCircles({400, 300}, 30), {120, 120}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const RemoteImageResult here = RemoteImageDecoder().decode(row.bytes, {}, row.maximumSize);
        ASSERT_TRUE(here.succeeded());
        const DecoderOutcome there = pool->decode(row.bytes, asked(row.maximumSize), {});
        ASSERT_TRUE(there.result.succeeded()) << there.result.error().message().toStdString();
        const DecodedImage expected = here.decoded();
        const DecodedImage decoded = there.result.decoded();
        EXPECT_EQ(decoded.pictureSize, expected.pictureSize);
        EXPECT_EQ(decoded.image.format(), expected.image.format());
        EXPECT_EQ(decoded.image.devicePixelRatio(), expected.image.devicePixelRatio());
        EXPECT_EQ(decoded.image, expected.image);
    }
}

TEST(PictureDecoderPool, aPictureThatCrashesOrPassesALimitCostsOnlyThatPicture)
{
    // The process's own memory when it has decoded a small picture: the limit of a pool
    // that has room for a small picture and not for one of 4096 x 4096 (64 MiB as decoded).
    qint64 baseline = 0;
    {
        const auto measuring = Testing::make(Testing::defaults());
        ASSERT_TRUE(measuring->decode(fixtures::pngImage({8, 8}), asked(), {}).result.succeeded());
        ASSERT_EQ(Testing::idle(*measuring).size(), 1u);
        baseline = anonymousResident(Testing::idle(*measuring).front());
        ASSERT_GT(baseline, 0);
    }
    DecoderProcessLimits tight = Testing::defaults();
    tight.memoryBytes = baseline + (qint64(24) << 20);
    const struct
    {
        const char *name;
        DecoderProcessLimits limits;
        QByteArray bytes;
        RemoteImageDecodeLimits decodeLimits;
        Kind error;
        // Crashed on purpose as it decodes.
        bool crash = false;
    } rows[] = {
        {"crash", Testing::defaults(), costlySvg(), unboundedDrawing(),
         Kind::cannotDecodeContentData, true},
        {"past its CPU time", Testing::defaults(), costlySvg(), unboundedDrawing(),
         Kind::imageTooComplex},
        {"past its memory", tight, fixtures::pngOfDrawing({4096, 4096}, 8, "large"), {},
         Kind::imageTooLarge},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const auto pool = Testing::make(row.limits);
        std::optional<Decoding> decoding;
        decoding.emplace(*pool, row.bytes, asked({}, row.decodeLimits));
        // Whether the process is still starting, reading the picture or drawing it.
        if (row.crash) {
            ASSERT_TRUE(fixtures::waitUntil([&] { return !Testing::busy(*pool).empty(); }));
            ::kill(*Testing::busy(*pool).begin(), SIGSEGV);
        }
        ASSERT_TRUE(fixtures::waitUntil([&] { return decoding->done.load(); }));
        ASSERT_FALSE(decoding->outcome.result.succeeded());
        EXPECT_EQ(decoding->outcome.result.error().kind(), row.error);
        decoding.reset();
        // The process is replaced: the next picture is drawn.
        const DecoderOutcome next = pool->decode(fixtures::pngImage({5, 3}), asked(), {});
        ASSERT_TRUE(next.result.succeeded());
        EXPECT_EQ(next.result.image().size(), QSize(5, 3));
    }
}

// Pictures whose cost is in Qt's work or a library's, where no check made beforehand sees it
// and no stop reaches it: each refused at the process's limit, the program going on. Decoded
// at the process's CPU time of a slower machine than the one they were measured on (each took
// more than 2 s there), so that a faster machine refuses them too.
TEST(PictureDecoderPool, hostilePicturesAreRefusedAtTheProcessLimitsAndTheProgramGoesOn)
{
    DecoderProcessLimits slower = Testing::defaults();
    slower.cpuTimePerPicture = PictureDecoderPool::cpuTimePerPicture / 2;
    const struct
    {
        const char *name;
        QByteArray bytes;
        DecoderProcessLimits limits;
        Kind error;
    } rows[] = {
        {"svg of 100,000 gradients each linking the next, which overflows Qt's stack",
         fixtures::svgOfGradientChain(), slower, Kind::imageTooComplex},
        {"svg of 40,000 gradients each linking the next",
         fixtures::svgOfGradientChain(fixtures::quadraticGradients), slower,
         Kind::imageTooComplex},
        {"svg using a group of 20,000 empty groups 20,000 times", fixtures::svgOfReusedGroup(),
         slower, Kind::imageTooComplex},
        {"svg of a rule of 1,000 descendant selectors over 2,000 nested groups",
         fixtures::svgOfDescendantSelectors(), slower, Kind::imageTooComplex},
        {"svg of 10 elements of 100 KB class lists under 1,000 class rules",
         fixtures::svgOfLongClassLists(), slower, Kind::imageTooComplex},
        {"svg of an element of 200,000 namespace declarations",
         fixtures::svgOfNamespaceDeclarations(), slower, Kind::imageTooComplex},
        {"arithmetic jpeg of 4096 x 4096 with 16 empty refinement scans",
         fixtures::jpegOfEmptyRefinements(), slower, Kind::imageTooComplex},
        {"lossless webp of 65,536 groups of prefix codes", fixtures::webpOfPrefixCodeGroups(),
         Testing::defaults(), Kind::imageTooLarge},
    };
    // All at once, each in a pool of its own.
    std::vector<std::unique_ptr<PictureDecoderPool>> pools;
    std::list<Decoding> decodings;
    for (const auto &row : rows) {
        pools.push_back(Testing::make(row.limits));
        decodings.emplace_back(*pools.back(), row.bytes, asked());
    }
    auto decoding = decodings.begin();
    for (std::size_t i = 0; i < std::size(rows); ++i, ++decoding) {
        SCOPED_TRACE(rows[i].name);
        decoding->thread.join();
        decoding->thread = std::thread([] {});
        if (rows[i].error == Kind::imageTooLarge && !imageFormatPluginsInstalled())
            continue;
        ASSERT_FALSE(decoding->outcome.result.succeeded());
        EXPECT_EQ(decoding->outcome.result.error().kind(), rows[i].error);
        // Its process replaced: the next picture is drawn.
        EXPECT_TRUE(
            pools[i]->decode(fixtures::pngImage({3, 3}), asked(), {}).result.succeeded());
    }
}

TEST(PictureDecoderPool, aStopKillsTheProcessAtOnceAndWaitingCallersGiveUp)
{
    const auto pool = Testing::make(Testing::defaults());
    std::list<Decoding> decodings;
    // One more than there are processes: the last waits for one.
    for (int i = 0; i <= PictureDecoderPool::maximumProcesses; ++i)
        decodings.emplace_back(*pool, costlySvg(), asked({}, unboundedDrawing()));
    ASSERT_TRUE(fixtures::waitUntil([&] {
        return int(Testing::busy(*pool).size()) == PictureDecoderPool::maximumProcesses;
    }));
    const std::set<pid_t> busy = Testing::busy(*pool);
    for (Decoding &decoding : decodings)
        decoding.stop.request_stop();
    for (Decoding &decoding : decodings) {
        decoding.thread.join();
        decoding.thread = std::thread([] {});
        ASSERT_TRUE(decoding.done);
        EXPECT_EQ(decoding.outcome.result.error().kind(), Kind::abandoned);
    }
    // Killed and reaped as each stop returned, not left to end its drawing.
    for (const pid_t pid : busy)
        EXPECT_EQ(processState(pid), 0) << pid;
    EXPECT_TRUE(Testing::busy(*pool).empty());
    EXPECT_TRUE(Testing::idle(*pool).empty());
}

TEST(PictureDecoderPool, idleProcessesEndByThemselvesAndAreReplaced)
{
    DecoderProcessLimits limits = Testing::defaults();
    limits.idleLifetime = std::chrono::milliseconds(300);
    const auto pool = Testing::make(limits);
    ASSERT_TRUE(pool->decode(fixtures::pngImage({4, 4}), asked(), {}).result.succeeded());
    ASSERT_EQ(Testing::idle(*pool).size(), 1u);
    const pid_t first = Testing::idle(*pool).front();
    // Reaped once all its threads have ended, a moment after its first looks ended.
    EXPECT_TRUE(fixtures::waitUntil([&] {
        pool->collectEnded();
        return Testing::idle(*pool).empty();
    }));
    EXPECT_EQ(processState(first), 0);
    // Or found ended when the next picture comes, as it was about to end.
    const DecoderOutcome next = pool->decode(fixtures::pngImage({6, 2}), asked(), {});
    ASSERT_TRUE(next.result.succeeded());
    EXPECT_EQ(next.result.image().size(), QSize(6, 2));
}

TEST(PictureDecoderPool, aProgramThatCannotBeStartedIsTheError)
{
    fixtures::ScopedEnvironment environment;
    environment.set(PictureDecoderPool::programVariable, "/nonexistent/decoder");
    const auto pool = Testing::make(Testing::defaults());
    const DecoderOutcome outcome = pool->decode(fixtures::pngImage({4, 4}), asked(), {});
    ASSERT_FALSE(outcome.result.succeeded());
    EXPECT_EQ(outcome.result.error().kind(), Kind::decoderUnavailable);
}

TEST(PictureDecoderPool, theProcessReadsNoFileButFontsAndLibrariesAndOpensNoSocket)
{
    QProcess check;
    check.start(PictureDecoderPool::program(), {QStringLiteral("--check-sandbox")});
    ASSERT_TRUE(check.waitForFinished(int(fixtures::outcomeDeadline.count())));
    ASSERT_EQ(check.exitCode(), 0) << check.readAllStandardError().toStdString();
    const QString report = QString::fromUtf8(check.readAllStandardOutput());
    EXPECT_TRUE(report.contains(QStringLiteral("opening a socket: refused"))) << qPrintable(report);
    if (report.contains(QStringLiteral("landlock: version"))) {
        EXPECT_TRUE(report.contains(QStringLiteral("reading /etc/hostname: refused")))
            << qPrintable(report);
    }
}

// The decoding processes of a second test program, which decodes costly pictures until it
// ends: each ends with it, whether it is killed or ends without a word.
const char *const decodingProgramArgument = "--decode-costly-pictures-until-ended";

TEST(PictureDecoderPool, processesEndWithTheProgramHoweverItEnds)
{
    for (const bool killed : {true, false}) {
        SCOPED_TRACE(killed ? "killed" : "ended");
        QTemporaryDir folder;
        ASSERT_TRUE(folder.isValid());
        const QString pids = folder.filePath(QStringLiteral("pids"));
        fixtures::RestartedTestProgram program(
            {QString::fromLatin1(decodingProgramArgument), pids,
             killed ? QStringLiteral("wait") : QStringLiteral("end")});
        std::vector<pid_t> decoders;
        ASSERT_TRUE(fixtures::waitUntil([&] {
            QFile file(pids);
            decoders.clear();
            if (file.open(QIODevice::ReadOnly))
                for (const QByteArray &line : file.readAll().split('\n'))
                    if (!line.isEmpty())
                        decoders.push_back(pid_t(line.toLongLong()));
            return int(decoders.size()) == PictureDecoderPool::maximumProcesses;
        }));
        if (killed)
            program.kill();
        for (const pid_t pid : decoders)
            EXPECT_TRUE(fixtures::waitUntil([pid] { return hasEnded(pid); })) << pid;
    }
}

} // namespace

// The second program's side: decodes costly pictures in every process of the pool, writes
// their process numbers to the file named, then waits to be killed or ends without a word.
std::optional<int> runDecodingProgramIfAsked(int argc, char *argv[])
{
    if (argc != 4 || std::strcmp(argv[1], decodingProgramArgument) != 0)
        return std::nullopt;
    PictureDecoderPool &pool = PictureDecoderPool::shared();
    std::vector<std::thread> threads;
    for (int i = 0; i < PictureDecoderPool::maximumProcesses; ++i)
        threads.emplace_back([&pool] {
            pool.decode(costlySvg(), asked({}, unboundedDrawing()), {});
        });
    while (int(Testing::busy(pool).size()) < PictureDecoderPool::maximumProcesses)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    QFile file(QFile::decodeName(argv[2]));
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    for (const pid_t pid : Testing::busy(pool))
        file.write(QByteArray::number(pid) + '\n');
    file.close();
    fixtures::RestartedTestProgram::announceReady();
    if (std::strcmp(argv[3], "end") == 0)
        std::_Exit(0);
    for (std::thread &thread : threads)
        thread.join();
    return 0;
}

} // namespace tolvaran::markdown
