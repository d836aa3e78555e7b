#include "detail/sections/MarkdownFileBrowser.h"

#include "detail/DetailEmptyState.h"
#include "detail/DetailStyle.h"
#include "markdown_view/MarkdownView.h"
#include "markdown_view/theme/Theme.h"
#include "widgets/AccessibleRole.h"
#include "widgets/BrowserStyle.h"
#include "widgets/ElidingLabel.h"
#include "widgets/FontScale.h"
#include "widgets/PlainText.h"
#include "widgets/SymbolIconTable.h"
#include "widgets/SystemColors.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QResizeEvent>
#include <QShowEvent>
#include <QSplitter>
#include <QStackedWidget>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

namespace tolvaran {

namespace {

enum State { loadingState, browserState, emptyState };
enum PreviewState { loadingPreviewState, noSelectionState, renderedState };

constexpr int emptyStatePadding = 24;
constexpr int headerPadding = 12;
constexpr int sidebarHeaderSpacing = 6;
constexpr int previewHeaderSpacing = 10;
constexpr int previewPadding = 24;
constexpr int sidebarMinimumWidth = 180;
constexpr int sidebarIdealWidth = 250;
constexpr int sidebarMaximumWidth = 320;
constexpr int previewMinimumWidth = 180;
constexpr int progressWidth = 120;
constexpr int rowIconSize = 14;

// A spinner above a caption, centred in the space it has.
QWidget *progressPage(const QString &text)
{
    auto *page = new QWidget;
    auto *spinner = new QProgressBar(page);
    spinner->setRange(0, 0);
    spinner->setTextVisible(false);
    spinner->setFixedWidth(progressWidth);
    auto *layout = new QVBoxLayout(page);
    layout->addStretch(1);
    layout->addWidget(spinner, 0, Qt::AlignHCenter);
    layout->addWidget(DetailStyle::plainLabel(BrowserStyle::systemFont(DetailStyle::captionSize),
                                              page, text),
                      0, Qt::AlignHCenter);
    layout->addStretch(1);
    return page;
}

} // namespace

MarkdownFileBrowser::MarkdownFileBrowser(QWidget *parent)
    : QWidget(parent)
    , m_opener([](const QString &path) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    })
    , m_states(new QStackedWidget(this))
{
    setObjectName(QStringLiteral("markdownBrowser"));
    QWidget *loading = progressPage(QStringLiteral("Loading Markdown files"));
    loading->setObjectName(QStringLiteral("markdownFilesLoading"));
    m_states->addWidget(loading);

    auto *split = new QSplitter(Qt::Horizontal);
    split->setChildrenCollapsible(false);
    split->addWidget(makeSidebar());
    split->addWidget(makePreviewPane());
    split->setStretchFactor(1, 1);
    split->setSizes({FontScale::scaled(sidebarIdealWidth), previewMaximumWidth});
    m_states->addWidget(split);

    auto *empty = new QWidget;
    auto *emptyLayout = new QVBoxLayout(empty);
    emptyLayout->setContentsMargins(emptyStatePadding, emptyStatePadding, emptyStatePadding,
                                    emptyStatePadding);
    emptyLayout->addWidget(new DetailEmptyState(QStringLiteral("No Markdown files found"),
                                                QStringLiteral("doc.text"), empty));
    emptyLayout->addStretch(1);
    m_states->addWidget(empty);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_states);

    connect(&m_loader, &MarkdownPreviewLoader::previewLoaded, this,
            &MarkdownFileBrowser::previewLoaded);
    refresh();
}

QWidget *MarkdownFileBrowser::makeSidebar()
{
    auto *sidebar = new QWidget;
    sidebar->setObjectName(QStringLiteral("markdownSidebar"));
    FontScale::follow(sidebar, [sidebar] {
        sidebar->setMinimumWidth(FontScale::scaled(sidebarMinimumWidth));
        sidebar->setMaximumWidth(FontScale::scaled(sidebarMaximumWidth));
    });
    auto *header = new QHBoxLayout;
    header->setContentsMargins(headerPadding, headerPadding, headerPadding, headerPadding);
    header->setSpacing(sidebarHeaderSpacing);
    header->addWidget(DetailStyle::symbolLabel(QStringLiteral("doc.text"),
                                               DetailStyle::headlineSize, sidebar));
    header->addWidget(DetailStyle::plainLabel(
        BrowserStyle::systemFont(DetailStyle::headlineSize, QFont::DemiBold), sidebar,
        QStringLiteral("Markdown Files")));
    header->addStretch(1);
    m_count = DetailStyle::plainLabel(BrowserStyle::monospacedDigitFont(DetailStyle::captionSize),
                                      sidebar);
    m_count->setObjectName(QStringLiteral("markdownFileCount"));
    BrowserStyle::setTextColor(m_count, BrowserStyle::secondaryLabelColor(palette()));
    header->addWidget(m_count);

    m_list = new QListWidget(sidebar);
    m_list->setObjectName(QStringLiteral("markdownFileList"));
    m_list->setAccessibleName(QStringLiteral("Markdown Files"));
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setTextElideMode(Qt::ElideMiddle);
    m_list->setIconSize(QSize(rowIconSize, rowIconSize));
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    AccessibleRole::keepCurrentItemOnlyWhileFocused(m_list);
    connect(m_list, &QListWidget::itemSelectionChanged, this, [this] {
        if (m_updatingList)
            return;
        const QList<QListWidgetItem *> chosen = m_list->selectedItems();
        setSelectedPath(chosen.isEmpty()
                            ? std::nullopt
                            : std::optional(chosen.front()->data(Qt::UserRole).toString()));
    });

    auto *layout = new QVBoxLayout(sidebar);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(header);
    layout->addWidget(DetailStyle::divider(sidebar));
    layout->addWidget(m_list, 1);
    return sidebar;
}

QWidget *MarkdownFileBrowser::makePreviewPane()
{
    auto *pane = new QWidget;
    pane->setObjectName(QStringLiteral("markdownPreviewPane"));
    FontScale::follow(pane,
                      [pane] { pane->setMinimumWidth(FontScale::scaled(previewMinimumWidth)); });

    m_title = new ElidingLabel(pane);
    m_title->setObjectName(QStringLiteral("markdownPreviewTitle"));
    BrowserStyle::systemFont(DetailStyle::headlineSize, QFont::DemiBold).apply(m_title);
    m_title->setElideMode(Qt::ElideMiddle);
    m_title->setMinimumWidth(1);
    m_title->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_note = DetailStyle::plainLabel(BrowserStyle::systemFont(DetailStyle::captionSize), pane,
                                     truncatedNote);
    m_note->setObjectName(QStringLiteral("markdownTruncatedNote"));
    BrowserStyle::setTextColor(m_note, SystemColors::orange());
    m_note->hide();
    auto *titles = new QVBoxLayout;
    titles->setSpacing(2);
    titles->addWidget(m_title);
    titles->addWidget(m_note);

    m_open = new QToolButton(pane);
    m_open->setObjectName(QStringLiteral("markdownOpenButton"));
    m_open->setText(QStringLiteral("Open"));
    m_open->setIcon(symbolIcon(QStringLiteral("arrow.up.right.square")));
    m_open->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_open->setToolTip(QStringLiteral("Open in the default editor"));
    connect(m_open, &QToolButton::clicked, this, &MarkdownFileBrowser::openSelectedFile);

    auto *header = new QHBoxLayout;
    header->setContentsMargins(headerPadding, headerPadding, headerPadding, headerPadding);
    header->setSpacing(previewHeaderSpacing);
    header->addLayout(titles, 1);
    header->addWidget(m_open);

    m_previewStates = new QStackedWidget(pane);
    m_previewStates->addWidget(progressPage(QStringLiteral("Loading preview")));
    auto *noSelection = new QWidget;
    auto *noSelectionLayout = new QVBoxLayout(noSelection);
    noSelectionLayout->setSpacing(8);
    noSelectionLayout->addStretch(1);
    noSelectionLayout->addWidget(
        DetailStyle::symbolLabel(QStringLiteral("doc.text.magnifyingglass"),
                                 DetailStyle::title2Size, noSelection),
        0, Qt::AlignHCenter);
    QLabel *hint = DetailStyle::plainLabel(BrowserStyle::systemFont(DetailStyle::subheadlineSize),
                                           noSelection, QStringLiteral("Select a Markdown file"));
    BrowserStyle::setTextColor(hint, BrowserStyle::secondaryLabelColor(palette()));
    noSelectionLayout->addWidget(hint, 0, Qt::AlignHCenter);
    noSelectionLayout->addStretch(1);
    m_previewStates->addWidget(noSelection);

    m_view = new markdown::MarkdownView;
    m_view->setObjectName(QStringLiteral("markdownPreview"));
    m_view->setFrameShape(QFrame::NoFrame);
    m_view->setTheme(markdown::Theme::gitHub());
    m_view->setTextSelectionEnabled(true);
    m_view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_view->setDocumentMargins(QMarginsF(previewPadding, previewPadding, previewPadding,
                                         previewPadding));
    m_view->installEventFilter(this);
    m_previewStates->addWidget(m_view);

    auto *layout = new QVBoxLayout(pane);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(header);
    layout->addWidget(DetailStyle::divider(pane));
    layout->addWidget(m_previewStates, 1);
    return pane;
}

void MarkdownFileBrowser::setFiles(const std::optional<QList<ProjectMarkdownFile>> &files,
                                   bool isLoading)
{
    m_isLoading = isLoading;
    if (files != m_files) {
        m_files = files;
        preserveValidSelection();
        rebuildList();
    }
    refresh();
}

void MarkdownFileBrowser::setSelectedPath(const std::optional<QString> &path)
{
    m_selectedPath = path;
    refresh();
}

std::optional<QString> MarkdownFileBrowser::effectiveSelectedPath() const
{
    if (m_selectedPath)
        return m_selectedPath;
    if (!m_files || m_files->isEmpty())
        return std::nullopt;
    return m_files->front().path;
}

std::optional<ProjectMarkdownFile> MarkdownFileBrowser::selectedFile() const
{
    const std::optional<QString> path = effectiveSelectedPath();
    if (!path || !m_files)
        return std::nullopt;
    for (const ProjectMarkdownFile &file : *m_files) {
        if (file.path == *path)
            return file;
    }
    return std::nullopt;
}

std::optional<QString> MarkdownFileBrowser::highlightedPath() const
{
    const QList<QListWidgetItem *> chosen = m_list->selectedItems();
    if (chosen.isEmpty())
        return std::nullopt;
    return chosen.front()->data(Qt::UserRole).toString();
}

void MarkdownFileBrowser::openSelectedFile()
{
    if (const std::optional<ProjectMarkdownFile> file = selectedFile(); file && m_opener)
        m_opener(file->path);
}

void MarkdownFileBrowser::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // A window coming back from the taskbar is not a new showing.
    if (event->spontaneous())
        return;
    m_selectedPath.reset();
    m_previewKey.reset();
    refresh();
}

bool MarkdownFileBrowser::eventFilter(QObject *watched, QEvent *event)
{
    // The text keeps a readable measure: past its maximum width the preview leaves the rest
    // of the view empty on the right instead of widening the lines.
    if (watched == m_view && event->type() == QEvent::Resize) {
        const int width = static_cast<QResizeEvent *>(event)->size().width();
        const double right =
            std::max<double>(previewPadding, width - previewMaximumWidth - previewPadding);
        if (right != m_previewRightMargin) {
            m_previewRightMargin = right;
            m_view->setDocumentMargins(
                QMarginsF(previewPadding, previewPadding, right, previewPadding));
        }
    }
    return QWidget::eventFilter(watched, event);
}

void MarkdownFileBrowser::rebuildList()
{
    m_updatingList = true;
    m_list->clear();
    const QIcon icon = symbolIcon(QStringLiteral("doc.text"));
    for (const ProjectMarkdownFile &file : m_files.value_or(QList<ProjectMarkdownFile>())) {
        auto *item = new QListWidgetItem(icon, file.relativePath, m_list);
        item->setData(Qt::UserRole, file.path);
        item->setToolTip(plainToolTip(file.relativePath));
    }
    m_count->setText(QString::number(m_files ? m_files->size() : 0));
    m_updatingList = false;
}

void MarkdownFileBrowser::preserveValidSelection()
{
    if (!m_files || m_files->isEmpty()) {
        m_selectedPath.reset();
        return;
    }
    if (!m_selectedPath)
        return;
    const bool listed = std::any_of(m_files->begin(), m_files->end(),
                                    [this](const ProjectMarkdownFile &file) {
                                        return file.path == *m_selectedPath;
                                    });
    if (!listed)
        m_selectedPath.reset();
}

void MarkdownFileBrowser::refresh()
{
    if (m_isLoading)
        m_states->setCurrentIndex(loadingState);
    else if (m_files && !m_files->isEmpty())
        m_states->setCurrentIndex(browserState);
    else
        m_states->setCurrentIndex(emptyState);

    const std::optional<QString> effective = effectiveSelectedPath();
    m_updatingList = true;
    m_list->clearSelection();
    for (int row = 0; row < m_list->count(); ++row) {
        QListWidgetItem *item = m_list->item(row);
        if (effective && item->data(Qt::UserRole).toString() == *effective) {
            item->setSelected(true);
            m_list->setCurrentItem(item, QItemSelectionModel::NoUpdate);
        }
    }
    m_updatingList = false;

    const std::optional<ProjectMarkdownFile> file = selectedFile();
    m_title->setText(file ? file->relativePath : QStringLiteral("Select a file"));
    // Read as the file it shows: a document need not have a heading to be named by.
    m_view->setAccessibleName(file ? file->relativePath : QString());
    m_open->setVisible(file.has_value());

    // The preview follows the file to show, and is read only while the browser shows.
    if (isVisible() && m_previewKey != std::optional(effective)) {
        m_previewKey = effective;
        loadPreview();
    }
    showPreviewState();
}

void MarkdownFileBrowser::loadPreview()
{
    const std::optional<QString> path = effectiveSelectedPath();
    if (!path) {
        m_previewText.clear();
        m_isPreviewTruncated = false;
        return;
    }
    m_isLoadingPreview = true;
    m_loader.load(*path);
}

void MarkdownFileBrowser::previewLoaded(const QString &path,
                                        const std::optional<MarkdownPreview> &preview)
{
    // A newer choice owns the states; its own read is under way.
    if (effectiveSelectedPath() != path)
        return;
    m_previewText = preview ? preview->text : unreadableText;
    m_isPreviewTruncated = preview && preview->isTruncated;
    m_isLoadingPreview = false;
    // No base URLs: relative links and pictures of the file are not resolved.
    m_view->setMarkdown(m_previewText);
    showPreviewState();
}

void MarkdownFileBrowser::showPreviewState()
{
    m_note->setVisible(m_isPreviewTruncated);
    if (m_isLoadingPreview)
        m_previewStates->setCurrentIndex(loadingPreviewState);
    else if (!selectedFile())
        m_previewStates->setCurrentIndex(noSelectionState);
    else
        m_previewStates->setCurrentIndex(renderedState);
}

} // namespace tolvaran
