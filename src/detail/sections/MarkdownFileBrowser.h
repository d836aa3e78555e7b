#pragma once

#include "data/git/ProjectMarkdownFile.h"
#include "detail/sections/MarkdownPreviewLoader.h"

#include <QList>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>

class QLabel;
class QListWidget;
class QStackedWidget;
class QToolButton;

namespace tolvaran {

class ElidingLabel;

namespace markdown {
class MarkdownView;
}

// The Markdown Files tab: the project's Markdown files in a list beside the chosen one,
// rendered. Without a choice the first file is shown; a choice that leaves the list falls back
// to the first file. Files are read off the GUI thread, at most MarkdownPreviewLoader::
// readLimit bytes of each; the browser never writes.
//
// The choice, the preview and its state live while the browser shows: each time it is shown
// anew it starts from the first file with a fresh read.
class MarkdownFileBrowser final : public QWidget
{
    Q_OBJECT

public:
    // Opens a file in the desktop's application for it.
    using FileOpener = std::function<void(const QString &path)>;

    static inline const QString unreadableText = QStringLiteral("This file could not be read.");
    static inline const QString truncatedNote =
        QStringLiteral("Preview limited to the first 1 MB");
    static constexpr int previewMaximumWidth = 860;

    explicit MarkdownFileBrowser(QWidget *parent = nullptr);

    // The files as the pane loaded them (absent until it has), and whether it is loading.
    void setFiles(const std::optional<QList<ProjectMarkdownFile>> &files, bool isLoading);
    // Replaces the desktop (tests record instead).
    void setFileOpener(FileOpener opener) { m_opener = std::move(opener); }

    // The user's choice: a path, or none for the first file.
    void setSelectedPath(const std::optional<QString> &path);
    const std::optional<QString> &selectedPath() const { return m_selectedPath; }
    std::optional<QString> effectiveSelectedPath() const;
    std::optional<ProjectMarkdownFile> selectedFile() const;
    // The path of the highlighted row, if any.
    std::optional<QString> highlightedPath() const;

    const QString &previewText() const { return m_previewText; }
    bool isPreviewTruncated() const { return m_isPreviewTruncated; }
    bool isLoadingPreview() const { return m_isLoadingPreview; }
    markdown::MarkdownView *previewView() const { return m_view; }
    // Opens the selected file; nothing when there is none.
    void openSelectedFile();

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *makeSidebar();
    QWidget *makePreviewPane();
    void rebuildList();
    void preserveValidSelection();
    // Shows the state of everything and starts a read when the file to show changed.
    void refresh();
    void loadPreview();
    void previewLoaded(const QString &path, const std::optional<MarkdownPreview> &preview);
    void showPreviewState();

    std::optional<QList<ProjectMarkdownFile>> m_files;
    bool m_isLoading = true;
    std::optional<QString> m_selectedPath;
    QString m_previewText;
    bool m_isLoadingPreview = false;
    bool m_isPreviewTruncated = false;
    // The file whose read the shown state belongs to; none before the first read.
    std::optional<std::optional<QString>> m_previewKey;
    bool m_updatingList = false;
    double m_previewRightMargin = 0;
    FileOpener m_opener;

    QStackedWidget *m_states;
    QLabel *m_count = nullptr;
    QListWidget *m_list = nullptr;
    ElidingLabel *m_title = nullptr;
    QLabel *m_note = nullptr;
    QToolButton *m_open = nullptr;
    QStackedWidget *m_previewStates = nullptr;
    markdown::MarkdownView *m_view = nullptr;
    MarkdownPreviewLoader m_loader;
};

} // namespace tolvaran
