#include "markdown_view/MarkdownView.h"

#include "markdown/MarkdownParser.h"
#include "markdown_view/accessibility/AccessibleDocument.h"
#include "markdown_view/accessibility/DocumentAccessible.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>

namespace tolvaran::markdown {

namespace {

// Layout done per turn of the event loop after the first screen, so input stays responsive.
constexpr qint64 backgroundLayoutBudgetMilliseconds = 8;
// Blocks handed to the layout at once in the background: enough to share among the worker
// threads, few enough that a turn stays near its budget when the layout gets no worker.
constexpr qsizetype backgroundLayoutBatch = 256;
// Blocks laid out beyond the bottom of the view, so a first scroll finds them ready.
constexpr qreal layoutAheadPixels = 400;
constexpr int wheelStepPixels = 40;
// Room kept between a target the keyboard moved to and the edge of the view (or of the
// sideways scrolling window it shows through).
constexpr qreal focusScrollMargin = 24;
// How far the focus frame stands out around what is in focus, and how thick it is.
constexpr qreal focusFrameOutset = 2;
constexpr qreal focusFrameWidth = 2;
// The least contrast the focus frame keeps against the document's background.
constexpr qreal minimumFocusContrast = 3;
// Qt's application font where the desktop sets none: the size at which the themes' text
// sizes hold as they are.
constexpr qreal defaultApplicationFontPoints = 9;
constexpr qreal pointsPerInch = 72;
constexpr qreal defaultDotsPerInch = 96;

} // namespace

MarkdownView::MarkdownView(QWidget *parent)
    : QAbstractScrollArea(parent)
    , m_theme(std::make_shared<const Theme>(Theme::basic()))
    , m_parser(parseMarkdown)
{
    DocumentAccessible::install();
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::StrongFocus);
    // The view frames the document or the link it reached itself (paintFocus); a style that
    // rings focused scrolling areas is told to leave this one alone.
    setProperty("drawsOwnFocus", true);
    viewport()->setMouseTracking(true);
    verticalScrollBar()->setSingleStep(wheelStepPixels);
    m_linkOpener = [](const QUrl &url) { QDesktopServices::openUrl(url); };
    m_backgroundLayout.setInterval(0);
    connect(&m_backgroundLayout, &QTimer::timeout, this, &MarkdownView::layoutInBackground);
    m_fontScale = fontScale(QApplication::font(), logicalDpiY());
    m_imageLayout.setSingleShot(true);
    m_imageLayout.setInterval(0);
    connect(&m_imageLayout, &QTimer::timeout, this, &MarkdownView::relayoutForImages);
}

MarkdownView::~MarkdownView() = default;

void MarkdownView::setMarkdown(const QString &markdown, const std::optional<QUrl> &baseURL,
                               const std::optional<QUrl> &imageBaseURL)
{
    const quint64 generation = ++m_parseGeneration;
    m_parsing = true;
    m_baseURL = baseURL;
    m_imageBaseURL = imageBaseURL ? imageBaseURL : baseURL;
    // The parse holds only its copy of the text: a view closed meanwhile does not wait for it.
    m_parses.runSelfContained<QList<BlockNode>>(
        JobPriority::userInitiated, [markdown, parse = m_parser] { return parse(markdown); },
        [this, generation](QList<BlockNode> blocks) {
            if (generation != m_parseGeneration)
                return; // a later text replaced this one
            m_parsing = false;
            m_content = MarkdownContent(blocks);
            verticalScrollBar()->setValue(0);
            rebuild();
        });
}

void MarkdownView::setContent(const MarkdownContent &content, const std::optional<QUrl> &baseURL,
                              const std::optional<QUrl> &imageBaseURL)
{
    ++m_parseGeneration; // a parse still running no longer shows
    m_parsing = false;
    m_content = content;
    m_baseURL = baseURL;
    m_imageBaseURL = imageBaseURL ? imageBaseURL : baseURL;
    verticalScrollBar()->setValue(0);
    rebuild();
}

void MarkdownView::setTheme(const Theme &theme)
{
    m_theme = std::make_shared<const Theme>(theme);
    rebuild();
}

void MarkdownView::setTextStyle(const TextStyle &style)
{
    m_hostStyle = style;
    rebuild();
}

void MarkdownView::setTextSelectionEnabled(bool enabled)
{
    m_selectionEnabled = enabled;
    rebuild();
}

void MarkdownView::setSoftBreakMode(SoftBreakMode mode)
{
    m_softBreakMode = mode;
    rebuild();
}

void MarkdownView::setCodeSyntaxHighlighter(
    std::shared_ptr<const CodeSyntaxHighlighter> highlighter)
{
    m_codeSyntaxHighlighter = std::move(highlighter);
    rebuild();
}

void MarkdownView::setLinkOpener(LinkOpener opener)
{
    m_linkOpener = std::move(opener);
}

void MarkdownView::setImageProvider(std::shared_ptr<const ImageProvider> provider)
{
    m_imageProvider = std::move(provider);
    rebuild();
}

void MarkdownView::setInlineImageProvider(std::shared_ptr<const InlineImageProvider> provider)
{
    m_inlineImageProvider = std::move(provider);
    rebuild();
}

void MarkdownView::setRemoteImageLoader(RemoteImageLoader *loader)
{
    m_remoteImageLoader = loader;
    rebuild();
}

void MarkdownView::relayoutForImages()
{
    if (!m_layout || !m_layout->relayoutRequested())
        return;
    updateScrollBars();
    viewport()->update();
}

void MarkdownView::setDocumentMargins(const QMarginsF &margins)
{
    m_documentMargins = margins;
    relayoutForWidth();
}

bool MarkdownView::opensOnDesktop(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid()
           && (scheme == QLatin1String("http") || scheme == QLatin1String("https")
               || scheme == QLatin1String("mailto"));
}

qreal MarkdownView::fontScale(const QFont &applicationFont, qreal dotsPerInch)
{
    const qreal pixels = applicationFont.pointSizeF() > 0
                             ? applicationFont.pointSizeF() * dotsPerInch / pointsPerInch
                             : applicationFont.pixelSize();
    const qreal defaultPixels = defaultApplicationFontPoints * defaultDotsPerInch / pointsPerInch;
    return pixels > 0 ? pixels / defaultPixels : 1;
}

StyleContext MarkdownView::rootContext(const Theme &theme, const TextStyle &hostStyle,
                                       const QPalette &palette, qreal fontScale)
{
    StyleContext context = StyleContext::root(std::make_shared<const Theme>(theme));
    context = context.withTextStyle(hostStyle).withTextStyle(theme.text);
    // The descendants start from the theme's text size, scaled, as a point size.
    const TextAttributes attributes = context.attributes();
    context = context.withTextStyle(
        FontSize(attributes.fontProperties.value_or(FontProperties()).size * fontScale));
    context.colorScheme = colorScheme(palette);
    context.defaultForeground = attributes.foregroundColor
                                    ? attributes.foregroundColor->resolved(context.colorScheme)
                                    : palette.color(QPalette::WindowText);
    context.linkForeground = palette.color(QPalette::Link);
    return context;
}

void MarkdownView::rebuild()
{
    m_focus.reset();
    m_allSelected = false;
    clearSelection();
    StyleContext context = rootContext(*m_theme, m_hostStyle, palette(), m_fontScale);
    context.theme = m_theme;
    context.baseURL = m_baseURL;
    context.imageBaseURL = m_imageBaseURL;
    context.textSelectionEnabled = m_selectionEnabled;
    context.softBreakMode = m_softBreakMode;
    context.codeSyntaxHighlighter = m_codeSyntaxHighlighter;
    context.imageProvider = m_imageProvider;
    context.inlineImageProvider = m_inlineImageProvider;
    context.remoteImageLoader = m_remoteImageLoader;
    // The items of this layout live no longer than the view, which owns the timer.
    context.imageChanged = [timer = &m_imageLayout] { timer->start(); };
    const TextAttributes attributes = context.attributes();
    m_background.reset();
    if (attributes.backgroundColor)
        m_background = attributes.backgroundColor->resolved(context.colorScheme);
    m_layout = std::make_unique<DocumentLayout>(m_content.blocks(), context);
    m_accessibleDocument.reset();
    if (QAccessible::isActive()) {
        QAccessibleEvent changed(this, QAccessible::ObjectReorder);
        QAccessible::updateAccessibility(&changed);
    }
    relayoutForWidth(); // keeps the scroll position: a palette change redraws in place
    Q_EMIT contentShown();
}

void MarkdownView::relayoutForWidth()
{
    if (!m_layout)
        return;
    const qreal width = std::max<qreal>(
        1, viewport()->width() - m_documentMargins.left() - m_documentMargins.right());
    m_layout->setWidth(width);
    layoutVisible();
    // Also when the first screen held the whole document: the next turn reports it finished.
    m_backgroundLayout.start();
    updateScrollBars();
    // The pictures just laid out have begun to load: those in view are told now, before the
    // first of them can take the thread for costly pictures, rather than at the paint to come.
    if (isVisible())
        m_layout->markPicturesInView(shownRect());
    viewport()->update();
}

void MarkdownView::layoutVisible()
{
    if (m_layout) {
        m_layout->layoutThrough(verticalScrollBar()->value() + viewport()->height()
                                + layoutAheadPixels);
    }
}

void MarkdownView::layoutInBackground()
{
    if (!m_layout) {
        m_backgroundLayout.stop();
        return;
    }
    QElapsedTimer timer;
    timer.start();
    while (!m_layout->isComplete() && timer.elapsed() < backgroundLayoutBudgetMilliseconds)
        m_layout->layoutMore(backgroundLayoutBatch);
    updateScrollBars();
    if (m_layout->isComplete()) {
        m_backgroundLayout.stop();
        Q_EMIT layoutFinished();
    }
}

void MarkdownView::updateScrollBars()
{
    const qreal height = m_layout ? m_layout->height() : 0;
    const int total =
        int(std::ceil(height + m_documentMargins.top() + m_documentMargins.bottom()));
    verticalScrollBar()->setPageStep(viewport()->height());
    verticalScrollBar()->setRange(0, std::max(0, total - viewport()->height()));
}

QPointF MarkdownView::documentPoint(const QPoint &viewportPoint) const
{
    return QPointF(viewportPoint)
           + QPointF(-m_documentMargins.left(),
                     verticalScrollBar()->value() - m_documentMargins.top());
}

std::shared_ptr<const AccessibleDocument> MarkdownView::accessibleDocument() const
{
    if (!m_accessibleDocument) {
        const ColorScheme scheme = m_layout ? m_layout->context().colorScheme
                                            : colorScheme(palette());
        m_accessibleDocument =
            std::make_shared<const AccessibleDocument>(m_content.blocks(), m_baseURL, scheme);
    }
    return m_accessibleDocument;
}

QRect MarkdownView::accessibleRect(const AccessibleNode &node) const
{
    const QRectF frame = m_layout ? nodeFrame(*m_layout, node) : QRectF();
    if (frame.isNull())
        return {};
    const QPointF offset = QPointF(viewport()->pos())
                           + QPointF(m_documentMargins.left(),
                                     m_documentMargins.top() - verticalScrollBar()->value());
    return frame.translated(offset).toAlignedRect();
}

const AccessibleNode *MarkdownView::accessibleFocus() const
{
    return m_focus ? focusedNode(*accessibleDocument(), *m_focus) : nullptr;
}

void MarkdownView::openLink(const QUrl &url)
{
    if (opensOnDesktop(url) && m_linkOpener)
        m_linkOpener(url);
}

void MarkdownView::showBlock(qsizetype block)
{
    if (!m_layout)
        return;
    m_layout->layoutThroughBlock(block);
    if (block < m_layout->laidOutCount()) {
        updateScrollBars();
        const QRectF frame = m_layout->blockFrame(block);
        scrollToShow(QRectF(frame.topLeft(), QSizeF(frame.width(), 0)));
    }
}

void MarkdownView::paintEvent(QPaintEvent *)
{
    QPainter painter(viewport());
    if (m_background)
        painter.fillRect(viewport()->rect(), *m_background);
    if (!m_layout)
        return;
    layoutVisible();
    const QPointF offset(m_documentMargins.left(),
                         m_documentMargins.top() - verticalScrollBar()->value());
    painter.translate(offset);
    const QRectF exposed = QRectF(viewport()->rect()).translated(-offset);
    m_layout->paint(painter, palette(), exposed, m_allSelected);
    // Of the whole view, whatever part this paint was asked for (a scroll may expose a strip
    // alone). After the paint, whose pictures tell the loader in document order that they are
    // drawn, so that the layout's order, the top one last, is the one that holds.
    m_layout->markPicturesInView(shownRect());
    painter.resetTransform();
    paintFocus(painter, offset);
}

void MarkdownView::hideEvent(QHideEvent *event)
{
    QAbstractScrollArea::hideEvent(event);
    // Nothing of the document shows: its pictures wait behind those of a view that does.
    if (m_layout)
        m_layout->markPicturesInView(QRectF());
}

void MarkdownView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    relayoutForWidth();
}

void MarkdownView::scrollContentsBy(int, int)
{
    layoutVisible();
    updateScrollBars();
    viewport()->update();
}

void MarkdownView::wheelEvent(QWheelEvent *event)
{
    const QPoint delta = event->angleDelta();
    QPointF barOrigin;
    const QPointF point = documentPoint(event->position().toPoint());
    // Over a code block's scroll bar the wheel scrolls the code, as over any scroll bar.
    const bool overBar = m_layout && m_layout->scrollBarAt(point, &barOrigin);
    const bool sideways = delta.x() != 0 || (event->modifiers() & Qt::ShiftModifier) || overBar;
    if (sideways && m_layout) {
        const int steps = delta.x() != 0 ? delta.x() : delta.y();
        if (m_layout->scrollHorizontally(point, -steps / 120.0 * wheelStepPixels)) {
            viewport()->update();
            event->accept();
            return;
        }
    }
    QAbstractScrollArea::wheelEvent(event);
}

void MarkdownView::clearSelection()
{
    m_scrollBarDrag.reset();
    if (m_selected)
        m_selected->setSelection(std::nullopt);
    m_selected = nullptr;
    m_selectedBlock = -1;
    m_dragging = false;
    pinHeldBlocks();
}

void MarkdownView::mousePressEvent(QMouseEvent *event)
{
    m_allSelected = false;
    setFocusTarget(std::nullopt);
    clearSelection();
    viewport()->update();
    if (!m_layout || event->button() != Qt::LeftButton)
        return;
    m_pressPoint = documentPoint(event->position().toPoint());
    QPointF barOrigin;
    if (HorizontalScrollItem *scroll = m_layout->scrollBarAt(m_pressPoint, &barOrigin)) {
        const QPointF onBar = m_pressPoint - barOrigin;
        const QRectF thumb = scroll->thumbRect();
        if (thumb.contains(onBar)) {
            m_scrollBarDrag = ScrollBarDrag{scroll, onBar.x() - thumb.left()};
            m_selectedBlock = m_layout->blockAt(m_pressPoint.y());
            pinHeldBlocks();
        } else {
            // A click beside the thumb moves the code a window's width toward it.
            const qreal page = scroll->size().width();
            scroll->scrollTo(scroll->offset() + (onBar.x() < thumb.left() ? -page : page));
        }
        return;
    }
    QPointF origin;
    SelectableText *text = m_layout->textItemAt(m_pressPoint, &origin);
    if (text && text->isSelectable()) {
        m_selected = text;
        // The selection lives in the item: it stays while the reader scrolls away.
        m_selectedBlock = m_layout->blockAt(m_pressPoint.y());
        pinHeldBlocks();
        const int position = text->positionAt(m_pressPoint - origin);
        text->setSelection(std::pair{position, position});
        m_dragging = true;
    }
}

void MarkdownView::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_layout)
        return;
    const QPointF point = documentPoint(event->position().toPoint());
    if (m_scrollBarDrag) {
        QPointF barOrigin;
        // The block is found again: the bar's own item has no position of its own.
        if (m_layout->scrollBarAt(m_pressPoint, &barOrigin) == m_scrollBarDrag->item) {
            HorizontalScrollItem &scroll = *m_scrollBarDrag->item;
            scroll.scrollTo(scroll.offsetForThumbAt(point.x() - barOrigin.x()
                                                    - m_scrollBarDrag->grab));
            viewport()->update();
        }
        return;
    }
    if (m_dragging && m_selected) {
        QPointF origin;
        SelectableText *text = m_layout->textItemAt(m_pressPoint, &origin);
        if (text == m_selected) {
            const int position = text->positionAt(point - origin);
            text->setSelection(std::pair{text->selection()->first, position});
            viewport()->update();
        }
        return;
    }
    QPointF origin;
    SelectableText *text = m_layout->textItemAt(point, &origin);
    const QUrl link = text ? text->linkAt(point - origin) : m_layout->blockLinkAt(point);
    // A link that never opens looks like a link but does not offer itself.
    if (opensOnDesktop(link))
        viewport()->setCursor(Qt::PointingHandCursor);
    else if (text && text->isSelectable())
        viewport()->setCursor(Qt::IBeamCursor);
    else
        viewport()->unsetCursor();
}

void MarkdownView::mouseReleaseEvent(QMouseEvent *event)
{
    m_dragging = false;
    if (std::exchange(m_scrollBarDrag, std::nullopt))
        return;
    if (!m_layout || event->button() != Qt::LeftButton)
        return;
    const QPointF point = documentPoint(event->position().toPoint());
    if ((point - m_pressPoint).manhattanLength() >= QApplication::startDragDistance())
        return; // a selection, not a click
    QPointF origin;
    SelectableText *text = m_layout->textItemAt(point, &origin);
    const QUrl link = text ? text->linkAt(point - origin) : m_layout->blockLinkAt(point);
    if (opensOnDesktop(link) && m_linkOpener)
        m_linkOpener(link);
}

void MarkdownView::keyPressEvent(QKeyEvent *event)
{
    QScrollBar &vertical = *verticalScrollBar();
    if (event->matches(QKeySequence::Copy) && (m_selected || m_allSelected)) {
        QGuiApplication::clipboard()->setText(m_allSelected ? m_layout->selectableText()
                                                            : m_selected->selectedText());
    } else if (event->matches(QKeySequence::SelectAll) && m_selectionEnabled && m_layout) {
        clearSelection();
        m_allSelected = true;
        viewport()->update();
    } else if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && m_focus
               && m_focus->kind == FocusTarget::Kind::link) {
        if (m_linkOpener)
            m_linkOpener(m_focus->url);
    } else if ((event->key() == Qt::Key_Left || event->key() == Qt::Key_Right) && m_focus
               && m_focus->kind == FocusTarget::Kind::scroller) {
        // Its block is pinned while it has the focus, so the item stays.
        auto &scroll = static_cast<HorizontalScrollItem &>(*m_focus->item);
        const qreal step = event->key() == Qt::Key_Left ? -wheelStepPixels : wheelStepPixels;
        scroll.scrollTo(scroll.offset() + step);
        viewport()->update();
    } else if (event->matches(QKeySequence::MoveToStartOfDocument)
               || (event->key() == Qt::Key_Home && event->modifiers() == Qt::NoModifier)) {
        vertical.setValue(vertical.minimum());
    } else if (event->matches(QKeySequence::MoveToEndOfDocument)
               || (event->key() == Qt::Key_End && event->modifiers() == Qt::NoModifier)) {
        if (m_layout)
            m_layout->layoutAll(); // the end is where the whole height says
        updateScrollBars();
        vertical.setValue(vertical.maximum());
    } else {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    event->accept();
}

bool MarkdownView::focusNextPrevChild(bool next)
{
    if (hasFocus() && m_layout) {
        if (std::optional<FocusTarget> target =
                nextFocusTarget(*m_layout, m_focus, next, shownRect())) {
            setFocusTarget(std::move(target));
            return true;
        }
    }
    // Past the last target (or before the first) the focus leaves the view.
    setFocusTarget(std::nullopt);
    return QAbstractScrollArea::focusNextPrevChild(next);
}

void MarkdownView::focusInEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusInEvent(event);
    // Shift+Tab into the view lands where Tab would have left it: on the last link or wide
    // block that shows.
    if (event->reason() == Qt::BacktabFocusReason && m_layout && !m_focus)
        setFocusTarget(nextFocusTarget(*m_layout, std::nullopt, false, shownRect()));
    viewport()->update(); // the focus frame
}

void MarkdownView::focusOutEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update(); // the focus frame shows only while the view has the focus
}

QRectF MarkdownView::shownRect() const
{
    return QRectF(viewport()->rect())
        .translated(-m_documentMargins.left(),
                    verticalScrollBar()->value() - m_documentMargins.top());
}

void MarkdownView::setFocusTarget(std::optional<FocusTarget> target)
{
    const bool hadTarget = m_focus.has_value();
    m_focus = std::move(target);
    pinHeldBlocks();
    if (m_focus)
        m_focus = scrolledIntoWindow(*m_layout, *m_focus, focusScrollMargin);
    if (m_focus) {
        QRectF area;
        for (const QRectF &rect : m_focus->rects)
            area = area.united(rect);
        scrollToShow(area);
    }
    if (hadTarget || m_focus)
        announceFocus(*this);
    viewport()->update();
}

void MarkdownView::scrollToShow(const QRectF &rect)
{
    QScrollBar &vertical = *verticalScrollBar();
    const QRectF shown = shownRect();
    const qreal top = rect.top() + m_documentMargins.top();
    const qreal bottom = rect.bottom() + m_documentMargins.top();
    if (rect.top() < shown.top())
        vertical.setValue(int(std::floor(top - focusScrollMargin)));
    else if (rect.bottom() > shown.bottom())
        vertical.setValue(int(std::ceil(std::min(top - focusScrollMargin,
                                                 bottom + focusScrollMargin
                                                     - viewport()->height()))));
}

void MarkdownView::pinHeldBlocks()
{
    if (!m_layout)
        return;
    QList<qsizetype> held;
    if (m_selectedBlock >= 0)
        held.append(m_selectedBlock);
    if (m_focus)
        held.append(m_focus->block);
    m_layout->setPinnedBlocks(held);
}

void MarkdownView::paintFocus(QPainter &painter, const QPointF &offset)
{
    if (!hasFocus() || !m_layout)
        return;
    if (m_focus)
        m_focus = refreshedFocusTarget(*m_layout, *m_focus); // where it shows after a new layout
    // Kept inside the view, so that a frame around what touches its edge shows whole.
    const qreal inset = focusFrameWidth / 2;
    QRectF inside = QRectF(viewport()->rect()).adjusted(inset, inset, -inset, -inset);
    QList<QRectF> frames;
    if (!m_focus) {
        frames.append(inside); // the document itself
    } else {
        if (m_focus->window) {
            inside = inside.intersected(m_focus->windowFrame.translated(offset).adjusted(
                -focusFrameOutset, -focusFrameOutset, focusFrameOutset, focusFrameOutset));
        }
        for (const QRectF &rect : m_focus->rects) {
            frames.append(rect.translated(offset)
                              .adjusted(-focusFrameOutset, -focusFrameOutset, focusFrameOutset,
                                        focusFrameOutset)
                              .intersected(inside));
        }
    }
    // The highlight colour where it stands out enough from the document, else the text's.
    const QColor background = m_background.value_or(palette().color(viewport()->backgroundRole()));
    QColor colour = palette().color(QPalette::Highlight);
    if (contrastRatio(colour, background) < minimumFocusContrast)
        colour = palette().color(QPalette::WindowText);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(colour, focusFrameWidth));
    painter.setBrush(Qt::NoBrush);
    for (const QRectF &frame : frames)
        painter.drawRoundedRect(frame, focusFrameOutset, focusFrameOutset);
    painter.restore();
}

bool MarkdownView::event(QEvent *event)
{
    if (event->type() == QEvent::ApplicationFontChange)
        followApplicationFont();
    return QAbstractScrollArea::event(event);
}

void MarkdownView::changeEvent(QEvent *event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        rebuild();
    else if (event->type() == QEvent::FontChange)
        followApplicationFont();
}

void MarkdownView::followApplicationFont()
{
    const qreal scale = fontScale(QApplication::font(), logicalDpiY());
    if (scale == m_fontScale)
        return;
    m_fontScale = scale;
    rebuild();
}

} // namespace tolvaran::markdown
