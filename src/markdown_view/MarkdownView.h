#pragma once

#include "markdown/MarkdownContent.h"
#include "markdown_view/theme/CodeSyntaxHighlighter.h"
#include "markdown_view/DocumentLayout.h"
#include "markdown_view/FocusTarget.h"
#include "markdown_view/ImageProvider.h"
#include "markdown_view/InlineImageProvider.h"
#include "markdown_view/theme/TextStyle.h"
#include "markdown_view/theme/Theme.h"
#include "work/WorkGroup.h"

#include <QAbstractScrollArea>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

namespace tolvaran::markdown {

class AccessibleDocument;
struct AccessibleNode;
class MarkdownViewTesting;

// Shows one Markdown document, scrolled vertically: its blocks in sequence through a theme
// (Theme::basic() unless set), with the margins between blocks the theme sets.
//
// Text is parsed once per setMarkdown, on a worker thread; the view shows the document when
// the parse is back. Blocks are built and laid out only as far as the view shows, the rest in
// later turns of the event loop, so the first screen of a long document comes at once.
// Images meant for the other colour scheme are left out and come back when the palette
// changes. Text never becomes markup: raw HTML shows as its source.
//
// From the keyboard: Tab reaches the view and then, in reading order, each link that opens and
// each code block or table wider than its box (Shift+Tab goes back; past the last, focus
// leaves the view). Return follows the link in focus; Left and Right scroll the code block or
// table in focus; the arrow and page keys, Home and End scroll the document. Shift+Tab into
// the view lands on the last link or wide block that shows. A frame marks what has the focus,
// the whole document while the view itself has it. Where text is selectable, Ctrl+A selects
// all of it and Ctrl+C copies the selection.
//
// Assistive technology reads the whole document through the view's accessible interface
// (DocumentAccessible), whatever part of it is laid out.
//
// The blocks are drawn by our own light items rather than by QTextDocument: its Markdown
// import takes many times the parser's time on a large document, lays out everything before
// the first paint, and knows nothing of themes.
class MarkdownView final : public QAbstractScrollArea
{
    Q_OBJECT

public:
    // Opens a link the user clicked; only http, https and mailto links reach it (a relative
    // link resolves against the base URL first, or does nothing). The default hands them to
    // the desktop.
    using LinkOpener = std::function<void(const QUrl &)>;

    explicit MarkdownView(QWidget *parent = nullptr);
    ~MarkdownView() override;

    // Parses `markdown` off the GUI thread and shows it. The image base URL falls back to the
    // base URL when absent.
    void setMarkdown(const QString &markdown, const std::optional<QUrl> &baseURL = std::nullopt,
                     const std::optional<QUrl> &imageBaseURL = std::nullopt);
    // Shows content already parsed.
    void setContent(const MarkdownContent &content,
                    const std::optional<QUrl> &baseURL = std::nullopt,
                    const std::optional<QUrl> &imageBaseURL = std::nullopt);

    void setTheme(const Theme &theme);
    // A text style the host adds around the document (under the theme's own text style).
    void setTextStyle(const TextStyle &style);
    void setTextSelectionEnabled(bool enabled);
    // How soft line breaks of the source show (a space unless set).
    void setSoftBreakMode(SoftBreakMode mode);
    // How code blocks are coloured (plain text unless set).
    void setCodeSyntaxHighlighter(std::shared_ptr<const CodeSyntaxHighlighter> highlighter);
    void setLinkOpener(LinkOpener opener);
    // Where block images come from (network and image-base files unless set).
    void setImageProvider(std::shared_ptr<const ImageProvider> provider);
    // Where images inside text come from (the shared loader unless set).
    void setInlineImageProvider(std::shared_ptr<const InlineImageProvider> provider);
    // The loader network images use; not owned, must outlive the view (the shared loader
    // unless set).
    void setRemoteImageLoader(RemoteImageLoader *loader);
    // Space around the document inside the view.
    void setDocumentMargins(const QMarginsF &margins);

    const MarkdownContent &content() const { return m_content; }
    std::optional<QUrl> baseURL() const { return m_baseURL; }
    std::optional<QUrl> imageBaseURL() const { return m_imageBaseURL; }
    bool isParsing() const { return m_parsing; }
    // The layout shown (none before the first content arrives).
    const DocumentLayout *documentLayout() const { return m_layout.get(); }
    DocumentLayout *documentLayout() { return m_layout.get(); }

    // The style context the document's blocks are built in, for this palette, with the
    // theme's text size times `fontScale`.
    static StyleContext rootContext(const Theme &theme, const TextStyle &hostStyle,
                                    const QPalette &palette, qreal fontScale = 1);

    // How much larger than Qt's own default (9 points) `applicationFont` is at `dotsPerInch`:
    // text sizes scale with the desktop's font size as the body text style scales them.
    static qreal fontScale(const QFont &applicationFont, qreal dotsPerInch);

    // Whether a link opens at all: http, https and mailto only.
    static bool opensOnDesktop(const QUrl &url);

    // What assistive technology reads (see DocumentAccessible): the document shown, built when
    // first asked for and again after the content or the colour scheme changes.
    std::shared_ptr<const AccessibleDocument> accessibleDocument() const;
    // Where `node` shows, in the view's coordinates (see nodeFrame); null until its block is
    // laid out.
    QRect accessibleRect(const AccessibleNode &node) const;
    // The node the keyboard focus is on; none while it is on the document itself.
    const AccessibleNode *accessibleFocus() const;
    // Follows `url` as a click on its link does: only a link that opens reaches the opener.
    void openLink(const QUrl &url);
    // Scrolls the least that shows the top of top-level block `block`, laying it out first.
    void showBlock(qsizetype block);

    // What the keyboard focus is on inside the document (none: the view itself).
    const std::optional<FocusTarget> &focusTarget() const { return m_focus; }
    // Whether all of the text is selected (Ctrl+A).
    bool isAllSelected() const { return m_allSelected; }

Q_SIGNALS:
    // The content changed and its first screen is laid out.
    void contentShown();
    // The whole document is laid out (its height is exact): once for each content, and again
    // after each change of width lays it out anew.
    void layoutFinished();

protected:
    bool event(QEvent *event) override;
    bool focusNextPrevChild(bool next) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    // Tests put a parser of their own in place, to hold a parse open.
    friend class MarkdownViewTesting;

    void rebuild();
    void relayoutForWidth();
    void layoutVisible();
    void layoutInBackground();
    void updateScrollBars();
    QPointF documentPoint(const QPoint &viewportPoint) const;
    void clearSelection();
    void relayoutForImages();
    // Takes the scale of the application font now, and builds again when it changed.
    void followApplicationFont();
    // The part of the document shown, in document coordinates.
    QRectF shownRect() const;
    void setFocusTarget(std::optional<FocusTarget> target);
    // Scrolls the least that shows `rect` (document coordinates).
    void scrollToShow(const QRectF &rect);
    // Keeps the items that the selection, the focus and a scroll bar's drag hold on to.
    void pinHeldBlocks();
    void paintFocus(QPainter &painter, const QPointF &offset);

    MarkdownContent m_content;
    std::optional<QUrl> m_baseURL;
    std::optional<QUrl> m_imageBaseURL;
    std::shared_ptr<const Theme> m_theme;
    TextStyle m_hostStyle;
    bool m_selectionEnabled = false;
    SoftBreakMode m_softBreakMode = SoftBreakMode::space;
    std::shared_ptr<const CodeSyntaxHighlighter> m_codeSyntaxHighlighter;
    LinkOpener m_linkOpener;
    std::shared_ptr<const ImageProvider> m_imageProvider;
    std::shared_ptr<const InlineImageProvider> m_inlineImageProvider;
    RemoteImageLoader *m_remoteImageLoader = nullptr;
    // Images arriving in one turn of the event loop cause one layout.
    QTimer m_imageLayout;
    QMarginsF m_documentMargins;
    qreal m_fontScale = 1;
    std::unique_ptr<DocumentLayout> m_layout;
    mutable std::shared_ptr<const AccessibleDocument> m_accessibleDocument;
    std::optional<QColor> m_background;
    QTimer m_backgroundLayout;
    std::function<QList<BlockNode>(const QString &)> m_parser;
    quint64 m_parseGeneration = 0;
    bool m_parsing = false;

    // A code block's or table's scroll bar taken by its thumb: the block and where the thumb was taken.
    struct ScrollBarDrag
    {
        HorizontalScrollItem *item = nullptr;
        qreal grab = 0;
    };
    std::optional<ScrollBarDrag> m_scrollBarDrag;
    std::optional<FocusTarget> m_focus;
    bool m_allSelected = false;
    SelectableText *m_selected = nullptr;
    qsizetype m_selectedBlock = -1;
    QPointF m_pressPoint;
    bool m_dragging = false;
    // Last, so that it goes first: no parse is handed to a view being torn down.
    WorkGroup m_parses{this};
};

} // namespace tolvaran::markdown
