#pragma once

#include "work/WorkGroup.h"
#include "work/WorkHandle.h"

#include <QObject>
#include <QString>

#include <optional>

namespace tolvaran {

// What the preview shows of a Markdown file: the text of its first bytes, and whether there
// was more.
struct MarkdownPreview
{
    QString text;
    bool isTruncated = false;

    friend bool operator==(const MarkdownPreview &, const MarkdownPreview &) = default;
};

// Reads the start of the file at `path` for the preview: at most `limit` bytes, decoded as
// UTF-8 (anything that is not, a character cut at the limit included, becomes U+FFFD). Only a
// regular file is read, after links are followed, and it is opened without blocking, so a
// FIFO or a device named like a Markdown file fails at once instead of hanging the read.
// Absent when the file cannot be read. Blocking; for a worker thread.
std::optional<MarkdownPreview> readMarkdownPreview(const QString &path, qint64 limit);

// Reads previews off the GUI thread, one at a time: a new request stops the one before, and
// only the result of the latest request is reported.
class MarkdownPreviewLoader final : public QObject
{
    Q_OBJECT

public:
    // The most of a file the preview renders: 1 MiB.
    static constexpr qint64 readLimit = 1024 * 1024;

    explicit MarkdownPreviewLoader(QObject *parent = nullptr);
    ~MarkdownPreviewLoader() override;

    // Starts reading `path`; previewLoaded follows in a later turn of the event loop.
    void load(const QString &path);
    // Forgets the request in progress: its result is not reported.
    void cancel();
    bool isLoading() const { return m_loading; }

Q_SIGNALS:
    // The latest request's result; absent when the file could not be read.
    void previewLoaded(const QString &path,
                       const std::optional<tolvaran::MarkdownPreview> &preview);

private:
    quint64 m_generation = 0;
    bool m_loading = false;
    WorkHandle m_read;

    // Last: destroyed first, so no read reports to a loader that is gone.
    WorkGroup m_work{this};
};

} // namespace tolvaran
