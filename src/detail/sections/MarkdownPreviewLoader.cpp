#include "detail/sections/MarkdownPreviewLoader.h"

#include "platform/storage/RegularFileRead.h"

#include <QFile>

namespace tolvaran {

std::optional<MarkdownPreview> readMarkdownPreview(const QString &path, qint64 limit)
{
    QFile file;
    if (!openRegularFile(file, path))
        return std::nullopt;
    // One byte past the limit tells a file of exactly the limit from a longer one, without
    // reading the rest of a large file.
    QByteArray bytes = file.read(limit + 1);
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    MarkdownPreview preview;
    preview.isTruncated = bytes.size() > limit;
    if (preview.isTruncated)
        bytes.truncate(qsizetype(limit));
    preview.text = QString::fromUtf8(bytes);
    return preview;
}

MarkdownPreviewLoader::MarkdownPreviewLoader(QObject *parent)
    : QObject(parent)
{
}

MarkdownPreviewLoader::~MarkdownPreviewLoader()
{
    m_read.cancel();
}

void MarkdownPreviewLoader::load(const QString &path)
{
    m_read.cancel();
    const quint64 generation = ++m_generation;
    m_loading = true;
    using Result = std::optional<MarkdownPreview>;
    m_read = m_work.run<Result>(
        JobPriority::userInitiated,
        [path](const WorkContext &context) -> Result {
            if (context.stopRequested())
                return std::nullopt;
            return readMarkdownPreview(path, readLimit);
        },
        [this, generation, path](Result preview) {
            if (generation != m_generation)
                return;
            m_loading = false;
            Q_EMIT previewLoaded(path, preview);
        });
}

void MarkdownPreviewLoader::cancel()
{
    ++m_generation;
    m_loading = false;
    m_read.cancel();
}

} // namespace tolvaran
