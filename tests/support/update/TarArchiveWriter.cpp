#include "support/update/TarArchiveWriter.h"

#include "platform/ProcessRunner.h"

#include <cstring>
#include <stdexcept>

namespace tolvaran::fixtures {

namespace {

constexpr int blockSize = 512;

void putField(QByteArray &header, int offset, int length, const QByteArray &value)
{
    if (value.size() > length)
        throw std::runtime_error("tar field too long");
    std::memcpy(header.data() + offset, value.constData(), size_t(value.size()));
}

QByteArray octal(qint64 value, int digits)
{
    return QByteArray::number(value, 8).rightJustified(digits, '0');
}

} // namespace

void TarArchiveWriter::add(Type type, const QByteArray &name, const QByteArray &contents,
                           const QByteArray &linkTarget, int mode)
{
    QByteArray header(blockSize, '\0');
    putField(header, 0, 100, name);
    putField(header, 100, 8, octal(mode, 7));
    putField(header, 108, 8, octal(0, 7));
    putField(header, 116, 8, octal(0, 7));
    putField(header, 124, 12, octal(type == Type::file ? contents.size() : 0, 11));
    putField(header, 136, 12, octal(1'700'000'000, 11));
    putField(header, 148, 8, QByteArray(8, ' '));
    header[156] = char(type);
    putField(header, 157, 100, linkTarget);
    putField(header, 257, 6, QByteArray("ustar", 6));
    putField(header, 263, 2, "00");
    if (type == Type::characterDevice) {
        putField(header, 329, 8, octal(1, 7));
        putField(header, 337, 8, octal(3, 7));
    }
    int checksum = 0;
    for (char c : header)
        checksum += static_cast<unsigned char>(c);
    putField(header, 148, 8, octal(checksum, 6) + QByteArray("\0 ", 2));
    m_tar += header;
    if (type == Type::file) {
        m_tar += contents;
        const qsizetype padding = (blockSize - contents.size() % blockSize) % blockSize;
        m_tar += QByteArray(padding, '\0');
    }
}

QByteArray TarArchiveWriter::gzipped() const
{
    ProcessRequest request;
    request.program = QStringLiteral("gzip");
    request.arguments = {QStringLiteral("-n"), QStringLiteral("-c")};
    request.standardInput = m_tar + QByteArray(2 * blockSize, '\0');
    const ProcessResult result = ProcessRunner::run(request);
    if (!result.succeeded())
        throw std::runtime_error("gzip failed");
    return result.standardOutput;
}

} // namespace tolvaran::fixtures
