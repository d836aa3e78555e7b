// tolvaran-picture-decoder: the process in which Tolvaran decodes pictures from outside.
// The program starts it with a socket as descriptor 3 and its limits as arguments
// (DecoderCommandLine); `--check-sandbox` instead prints what the sandbox of this machine's
// kernel holds, for whoever wants to know.

#include "remote_image/decoder_program/DecoderSandbox.h"
#include "remote_image/decoder_program/DecoderWatchdog.h"
#include "remote_image/decoder_program/DecodingServer.h"
#include "remote_image/decoding/AddressSanitizer.h"
#include "remote_image/decoding/DecoderCommandLine.h"
#include "remote_image/decoding/DecoderExit.h"

#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QImageReader>
#include <QPainter>
#include <QTextStream>

#include <cstdio>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#ifdef TOLVARAN_ADDRESS_SANITIZER
// Freed memory is held back for a few megabytes, not AddressSanitizer's quarter gigabyte,
// which would count against the process's memory as a picture's own; and a crash, which a
// picture may cause, ends the process as it would without the sanitizer, unreported.
extern "C" const char *__asan_default_options()
{
    return "quarantine_size_mb=16:detect_leaks=0:handle_segv=0:handle_sigbus=0:"
           "handle_abort=0:handle_sigfpe=0:handle_sigill=0";
}
#endif

namespace {

using namespace tolvaran;
using namespace tolvaran::markdown;

// What the process's threads may take for their stacks besides the pictures' memory, where
// the data segment is limited: Qt's scaling of a large picture runs on a thread a core.
constexpr qint64 threadStacksAllowance = qint64(128) << 20;
const QString checkOption = QStringLiteral("--check-sandbox");

// Qt's readers and renderer complain of every picture that is not as they would have it, and
// of a desktop that the process does not have: none of that is the program's to show.
void keepOnlyCriticalMessages(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "tolvaran-picture-decoder: %s\n", qPrintable(message));
}

// Loads, before the sandbox closes the process's files, what decoding would otherwise load as
// it goes: each of Qt's image plug-ins, the font configuration and the font engine.
void loadWhatDecodingLoads()
{
    for (const QByteArray &format : QImageReader::supportedImageFormats()) {
        QBuffer nothing;
        nothing.open(QIODevice::ReadOnly);
        QImageReader reader(&nothing, format);
        reader.canRead();
    }
    QImage canvas(32, 32, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    painter.drawText(QPointF(0, 16), QStringLiteral("Aa"));
}

// Past its picture's memory, an allocation fails at once rather than at the watchdog's next
// look, where the data segment can be limited.
void limitDataSegment(qint64 memoryBytes)
{
    if constexpr (underAddressSanitizer)
        return;
    QFile status(QStringLiteral("/proc/self/statm"));
    if (!status.open(QIODevice::ReadOnly))
        return;
    const QList<QByteArray> fields = status.readAll().split(' ');
    if (fields.size() < 6)
        return;
    const qint64 data = fields[5].toLongLong() * ::sysconf(_SC_PAGESIZE);
    const rlim_t limit = rlim_t(data + memoryBytes + threadStacksAllowance);
    const rlimit segment{limit, limit};
    ::setrlimit(RLIMIT_DATA, &segment);
}

bool isSocket(int descriptor)
{
    struct stat status {};
    return ::fstat(descriptor, &status) == 0 && S_ISSOCK(status.st_mode);
}

// What the sandbox holds, tried: a file outside the folders decoding reads, and a socket.
int printSandbox(const DecoderSandbox::Entered &entered)
{
    QTextStream out(stdout);
    out << "landlock: "
        << (entered.landlockVersion > 0 ? QStringLiteral("version %1").arg(entered.landlockVersion)
                                        : QStringLiteral("not offered by this kernel"))
        << "\nseccomp: " << (entered.seccomp ? "on" : "not offered by this kernel") << '\n';
    const int file = ::open("/etc/hostname", O_RDONLY | O_CLOEXEC);
    out << "reading /etc/hostname: " << (file >= 0 ? "allowed" : "refused") << '\n';
    const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    out << "opening a socket: " << (socket >= 0 ? "allowed" : "refused") << '\n';
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    qInstallMessageHandler(keepOnlyCriticalMessages);
    // Nothing of the program's but the socket and the standard streams.
    ::close_range(DecoderCommandLine::socketDescriptor + 1, ~0U, 0);
    // A crash leaves no core file behind.
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);

    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const bool check = arguments == QStringList{checkOption};
    const std::optional<DecoderProcessLimits> limits = DecoderCommandLine::limits(arguments);
    if (!check && (!limits || !isSocket(DecoderCommandLine::socketDescriptor))) {
        std::fprintf(stderr, "tolvaran-picture-decoder is started by Tolvaran; "
                             "%s prints what its sandbox holds here.\n",
                     qPrintable(checkOption));
        return int(DecoderExit::cannotStart);
    }

    // No window, no theme, no connection to a desktop: only Qt's painting and its fonts.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qunsetenv("QT_QPA_PLATFORMTHEME");
    int qtArgumentCount = 1;
    const QGuiApplication application(qtArgumentCount, argv);
    loadWhatDecodingLoads();
    if (limits)
        limitDataSegment(limits->memoryBytes);

    FileDescriptor memoryStatus = DecoderWatchdog::openMemoryStatus();
    DecoderSandbox::Entered entered;
    if (!memoryStatus.isValid()
        || !DecoderSandbox::enter(DecoderSandbox::readableFolders(), &entered))
        return int(DecoderExit::cannotStart);
    // Ended at once, as a sandboxed process must: what runs at a normal exit (the sanitizers'
    // leak check among it) may need what the sandbox now refuses.
    if (check) {
        const int printed = printSandbox(entered);
        std::fflush(nullptr);
        ::_exit(printed);
    }

    PacketSocket socket{FileDescriptor(DecoderCommandLine::socketDescriptor)};
    // Never destroyed: the process ends with _exit, whatever its threads are doing.
    auto *watchdog = new DecoderWatchdog(socket.descriptor(), std::move(memoryStatus),
                                         limits->cpuTimePerPicture, limits->memoryBytes);
    const int exit = DecodingServer(socket, *watchdog, limits->idleLifetime).serve();
    std::fflush(nullptr);
    ::_exit(exit);
}
