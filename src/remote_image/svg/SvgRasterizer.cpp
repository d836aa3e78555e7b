#include "remote_image/svg/SvgRasterizer.h"

#include "remote_image/svg/DrawingCost.h"

#include <QImage>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QSvgRenderer>

#include <optional>

namespace tolvaran::markdown {

namespace {

enum class Outcome { drawing, overBudget, stopped };

// What the pieces of one picture, and of the SVG pictures embedded in it, are paid from.
class Budget final
{
public:
    Budget(qint64 budget, std::stop_token stop)
        : m_budget(budget)
        , m_stop(std::move(stop))
    {
    }

    Outcome outcome() const { return m_outcome; }
    qint64 spent() const { return m_spent; }

    // Whether `cost` was paid: not once the budget is spent or the stop requested.
    bool admit(qint64 cost)
    {
        if (m_outcome == Outcome::drawing && m_stop.stop_requested())
            m_outcome = Outcome::stopped;
        if (m_outcome != Outcome::drawing)
            return false;
        m_spent = cost > m_budget - m_spent ? m_budget + 1 : m_spent + cost;
        if (m_spent > m_budget)
            m_outcome = Outcome::overBudget;
        return m_outcome == Outcome::drawing;
    }

private:
    const qint64 m_budget;
    const std::stop_token m_stop;
    qint64 m_spent = 0;
    Outcome m_outcome = Outcome::drawing;
};

// Hands every painting step on to a painter on the image, each only after it has been paid
// for; or, where it only counts, pays for each and draws none (the painter on the image then
// keeps the state that the steps are charged by). Qt's paint engines cannot be extended from
// outside Qt, so the image's own engine is reached through a painter of its own, to which
// this engine passes on the state (pen, brush, transform, clip, ...) that the renderer sets.
// Claiming every feature makes the renderer's painter pass everything through as it is, for
// the image's painter to handle as usual.
class BudgetedEngine final : public QPaintEngine
{
public:
    BudgetedEngine(QImage &image, QSize canvas, Budget &budget, bool draws)
        : QPaintEngine(QPaintEngine::AllFeatures)
        , m_image(image)
        , m_canvas(QPointF(0, 0), QSizeF(canvas))
        , m_budget(budget)
        , m_draws(draws)
    {
    }

    bool begin(QPaintDevice *) override { return m_painter.begin(&m_image); }
    bool end() override { return m_painter.end(); }
    Type type() const override { return QPaintEngine::User; }

    void updateState(const QPaintEngineState &state) override;

    void drawPath(const QPainterPath &path) override
    {
        if (admit(path))
            m_painter.drawPath(path);
    }
    void drawPolygon(const QPointF *points, int count, PolygonDrawMode mode) override;
    void drawRects(const QRectF *rects, int count) override
    {
        QPainterPath path;
        for (int i = 0; i < count; ++i)
            path.addRect(rects[i]);
        if (admit(path))
            m_painter.drawRects(rects, count);
    }
    void drawEllipse(const QRectF &rect) override
    {
        QPainterPath path;
        path.addEllipse(rect);
        if (admit(path))
            m_painter.drawEllipse(rect);
    }
    void drawLines(const QLineF *lines, int count) override
    {
        QPainterPath path;
        for (int i = 0; i < count; ++i) {
            path.moveTo(lines[i].p1());
            path.lineTo(lines[i].p2());
        }
        if (admit(path, false))
            m_painter.drawLines(lines, count);
    }
    void drawPoints(const QPointF *points, int count) override
    {
        if (admit(DrawingCost::ofPoints(count, m_painter.pen(), m_painter.transform())))
            m_painter.drawPoints(points, count);
    }
    void drawPixmap(const QRectF &target, const QPixmap &pixmap, const QRectF &source) override
    {
        if (admit(DrawingCost::ofImage(target, m_painter.transform(), m_canvas)))
            m_painter.drawPixmap(target, pixmap, source);
    }
    void drawTiledPixmap(const QRectF &target, const QPixmap &pixmap,
                         const QPointF &offset) override
    {
        if (admit(DrawingCost::ofImage(target, m_painter.transform(), m_canvas)))
            m_painter.drawTiledPixmap(target, pixmap, offset);
    }
    void drawImage(const QRectF &target, const QImage &image, const QRectF &source,
                   Qt::ImageConversionFlags flags) override
    {
        if (admit(DrawingCost::ofImage(target, m_painter.transform(), m_canvas)))
            m_painter.drawImage(target, image, source, flags);
    }
    void drawTextItem(const QPointF &origin, const QTextItem &text) override
    {
        const QRectF box(origin.x(), origin.y() - text.ascent(), text.width(),
                         text.ascent() + text.descent());
        if (admit(DrawingCost::ofText(box, text.text().size(), m_painter.transform(),
                                      m_canvas)))
            m_painter.drawTextItem(origin, text);
    }

private:
    bool admit(const QPainterPath &path, bool filled = true)
    {
        return admit(DrawingCost::ofPath(path, filled ? m_painter.brush() : QBrush(),
                                         m_painter.pen(), m_painter.transform(), m_canvas));
    }
    bool admit(qint64 cost) { return m_budget.admit(cost) && m_draws; }

    QImage &m_image;
    const QRectF m_canvas;
    Budget &m_budget;
    const bool m_draws;
    QPainter m_painter;
};

void BudgetedEngine::updateState(const QPaintEngineState &change)
{
    const DirtyFlags dirty = change.state();
    // The transform first: a clip is set in the coordinates of the transform sent with it.
    if (dirty & DirtyTransform)
        m_painter.setTransform(change.transform());
    if (dirty & DirtyPen)
        m_painter.setPen(change.pen());
    if (dirty & DirtyBrush)
        m_painter.setBrush(change.brush());
    if (dirty & DirtyBrushOrigin)
        m_painter.setBrushOrigin(change.brushOrigin());
    if (dirty & DirtyBackground)
        m_painter.setBackground(change.backgroundBrush());
    if (dirty & DirtyBackgroundMode)
        m_painter.setBackgroundMode(change.backgroundMode());
    if (dirty & DirtyFont)
        m_painter.setFont(change.font());
    if (dirty & DirtyClipPath)
        m_painter.setClipPath(change.clipPath(), change.clipOperation());
    if (dirty & DirtyClipRegion)
        m_painter.setClipRegion(change.clipRegion(), change.clipOperation());
    if (dirty & DirtyClipEnabled)
        m_painter.setClipping(change.isClipEnabled());
    if (dirty & DirtyHints) {
        m_painter.setRenderHints(m_painter.renderHints(), false);
        m_painter.setRenderHints(change.renderHints(), true);
    }
    if (dirty & DirtyCompositionMode)
        m_painter.setCompositionMode(change.compositionMode());
    if (dirty & DirtyOpacity)
        m_painter.setOpacity(change.opacity());
}

void BudgetedEngine::drawPolygon(const QPointF *points, int count, PolygonDrawMode mode)
{
    const QPolygonF polygon(QList<QPointF>(points, points + count));
    QPainterPath path;
    path.addPolygon(polygon);
    if (!admit(path, mode != PolylineMode))
        return;
    switch (mode) {
    case PolylineMode:
        m_painter.drawPolyline(polygon);
        break;
    case OddEvenMode:
    case ConvexMode:
        m_painter.drawPolygon(polygon, Qt::OddEvenFill);
        break;
    case WindingMode:
        m_painter.drawPolygon(polygon, Qt::WindingFill);
        break;
    }
}

// The device the renderer paints on: `size`, at the image's resolution, with our engine, which
// draws on the image where `draws`.
class BudgetedDevice final : public QPaintDevice
{
public:
    BudgetedDevice(QImage &image, QSize size, Budget &budget, bool draws)
        : m_image(image)
        , m_size(size)
        , m_engine(image, size, budget, draws)
    {
    }
    ~BudgetedDevice() override = default;

    QPaintEngine *paintEngine() const override { return &m_engine; }

protected:
    int metric(PaintDeviceMetric metric) const override
    {
        switch (metric) {
        case PdmWidth:
            return m_size.width();
        case PdmHeight:
            return m_size.height();
        case PdmWidthMM:
            return qRound(m_size.width() * 1000.0 / m_image.dotsPerMeterX());
        case PdmHeightMM:
            return qRound(m_size.height() * 1000.0 / m_image.dotsPerMeterY());
        case PdmNumColors:
            return m_image.colorCount();
        case PdmDepth:
            return m_image.depth();
        case PdmDpiX:
            return m_image.logicalDpiX();
        case PdmDpiY:
            return m_image.logicalDpiY();
        case PdmPhysicalDpiX:
            return m_image.physicalDpiX();
        case PdmPhysicalDpiY:
            return m_image.physicalDpiY();
        case PdmDevicePixelRatio:
            return int(m_image.devicePixelRatio());
        case PdmDevicePixelRatioScaled:
            return int(m_image.devicePixelRatio() * devicePixelRatioFScale());
        }
        return QPaintDevice::metric(metric);
    }

private:
    QImage &m_image;
    const QSize m_size;
    mutable BudgetedEngine m_engine;
};

std::optional<RemoteImageError> failureOf(Outcome outcome)
{
    switch (outcome) {
    case Outcome::drawing:
        break;
    case Outcome::overBudget:
        return RemoteImageError{RemoteImageErrorKind::imageTooComplex, {}};
    case Outcome::stopped:
        return RemoteImageError{RemoteImageErrorKind::abandoned, {}};
    }
    return std::nullopt;
}

// Qt's renderer draws each SVG picture embedded in a document while it reads the document, at
// the picture's own size, with Qt's SVG reader, where nothing reaches our painting. So each
// is drawn here first, only counting (nothing is painted), and its pieces are charged twice,
// for this drawing and for the reader's; their pixels, which the reader sets aside, all
// within the pixel limit together. What Qt's reader cannot read it leaves out, as it is left
// out here.
std::optional<RemoteImageError> chargeEmbedded(const QList<QByteArray> &documents,
                                               const RemoteImageDecodeLimits &limits,
                                               Budget &budget)
{
    qint64 pixels = 0;
    QImage state(1, 1, QImage::Format_ARGB32_Premultiplied);
    for (const QByteArray &document : documents) {
        QSvgRenderer renderer;
        if (!renderer.load(document))
            continue;
        const QSize size = renderer.defaultSize();
        if (size.isEmpty())
            continue;
        pixels += qint64(size.width()) * size.height();
        if (pixels > limits.maximumPixels)
            return RemoteImageError{RemoteImageErrorKind::imageTooLarge, {}};
        const qint64 before = budget.spent();
        BudgetedDevice device(state, size, budget, false);
        {
            QPainter painter(&device);
            renderer.render(&painter);
        }
        budget.admit(budget.spent() - before);
        if (const auto failure = failureOf(budget.outcome()))
            return failure;
    }
    return std::nullopt;
}

} // namespace

RemoteImageResult SvgRasterizer::render(const QByteArray &text,
                                        const QList<QByteArray> &embeddedDocuments,
                                        const RemoteImageDecodeLimits &limits,
                                        const std::stop_token &stop)
{
    if (stop.stop_requested())
        return RemoteImageError{RemoteImageErrorKind::abandoned, {}};
    Budget budget(limits.drawingBudget, stop);
    if (const auto failure = chargeEmbedded(embeddedDocuments, limits, budget))
        return *failure;
    QSvgRenderer renderer;
    if (!renderer.load(text))
        return RemoteImageError{RemoteImageErrorKind::cannotDecodeContentData, {}};
    const QSize size = renderer.defaultSize();
    if (size.isEmpty())
        return RemoteImageError{RemoteImageErrorKind::cannotDecodeContentData, {}};
    if (qint64(size.width()) * size.height() > limits.maximumPixels)
        return RemoteImageError{RemoteImageErrorKind::imageTooLarge, {}};
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return RemoteImageError{RemoteImageErrorKind::imageTooLarge, {}};
    image.fill(Qt::transparent);
    BudgetedDevice device(image, size, budget, true);
    {
        QPainter painter(&device);
        renderer.render(&painter);
    }
    if (const auto failure = failureOf(budget.outcome()))
        return *failure;
    return image;
}

} // namespace tolvaran::markdown
