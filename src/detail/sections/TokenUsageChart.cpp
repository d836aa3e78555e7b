#include "detail/sections/TokenUsageChart.h"

#include "widgets/BrowserStyle.h"
#include "widgets/CompactNumberFormat.h"
#include "widgets/FontScale.h"
#include "widgets/SystemColors.h"

#include <QApplication>
#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QDateTime>
#include <QEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

#include <algorithm>
#include <cmath>

namespace tolvaran {

namespace {

constexpr double secondsPerHour = 3600;
// The span each period charts, ending with the current hour or day.
constexpr qint64 hoursShown = 24;
constexpr qint64 daysShown = 30;
// A series spanning more hours or days than this (the data layer keeps 24 and 30) is drawn
// as its points alone rather than filled out.
constexpr qint64 maximumFilledBars = 400;
// How many steps the token axis aims for.
constexpr qint64 tokenAxisSteps = 4;
constexpr double barWidth = 0.8;
constexpr int axisLabelSize = 10;
constexpr double gridLineOpacity = 0.12;
constexpr double gradientLowerOpacity = 0.7;

QDateTime localTime(Timestamp time)
{
    return QDateTime::fromMSecsSinceEpoch(time.milliseconds());
}

// Each point as a bar of its own, for a series too long to fill out.
QList<TokenUsageBar> pointBars(const QList<TokenUsagePoint> &points)
{
    QList<TokenUsageBar> bars;
    for (const TokenUsagePoint &point : points)
        bars.append({point.date, point.tokens});
    return bars;
}

} // namespace

bool hasChartableUsage(const QList<TokenUsagePoint> &points)
{
    return std::any_of(points.begin(), points.end(),
                       [](const TokenUsagePoint &point) { return point.tokens >= 1; });
}

QList<TokenUsageBar> tokenUsageBars(const QList<TokenUsagePoint> &points,
                                    TokenUsagePeriod period, Timestamp now)
{
    QList<TokenUsageBar> bars;
    if (points.isEmpty())
        return bars;
    if (period == TokenUsagePeriod::hourly) {
        QDateTime hour = localTime(now);
        hour.setTime(QTime(hour.time().hour(), 0));
        const Timestamp last = Timestamp::fromDateTime(hour);
        Timestamp first = last.addingSeconds(-(hoursShown - 1) * secondsPerHour);
        first = std::min(first, points.front().date);
        const auto slotOf = [&](Timestamp date) {
            return qint64(std::llround((date.seconds - first.seconds) / secondsPerHour));
        };
        const qint64 count = std::max(slotOf(last), slotOf(points.back().date)) + 1;
        if (count > maximumFilledBars)
            return pointBars(points);
        for (qint64 slot = 0; slot < count; ++slot)
            bars.append({first.addingSeconds(double(slot) * secondsPerHour), 0});
        for (const TokenUsagePoint &point : points) {
            const qint64 slot = slotOf(point.date);
            if (slot >= 0 && slot < count)
                bars[slot].tokens += point.tokens;
        }
        return bars;
    }
    const QDate last = localTime(now).date();
    const QDate first = std::min(last.addDays(-(daysShown - 1)),
                                 localTime(points.front().date).date());
    const auto slotOf = [&](Timestamp date) { return first.daysTo(localTime(date).date()); };
    const qint64 count = std::max(first.daysTo(last), slotOf(points.back().date)) + 1;
    if (count > maximumFilledBars)
        return pointBars(points);
    for (qint64 slot = 0; slot < count; ++slot)
        bars.append({Timestamp::fromDateTime(first.addDays(slot).startOfDay()), 0});
    for (const TokenUsagePoint &point : points) {
        const qint64 slot = slotOf(point.date);
        if (slot >= 0 && slot < count)
            bars[slot].tokens += point.tokens;
    }
    return bars;
}

QList<qsizetype> tokenUsageLabelledBars(const QList<TokenUsageBar> &bars,
                                        TokenUsagePeriod period)
{
    QList<qsizetype> labelled;
    if (bars.isEmpty())
        return labelled;
    const qsizetype wanted = tokenUsagePeriodAxisLabelCount(period);
    const qsizetype spacing = std::max<qsizetype>(1, (bars.size() + wanted - 1) / wanted);
    for (qsizetype index = 0; index < bars.size(); ++index) {
        const qsizetype position = period == TokenUsagePeriod::hourly
                                       ? localTime(bars.at(index).start).time().hour()
                                       : index;
        if (position % spacing == 0)
            labelled.append(index);
    }
    return labelled;
}

QString tokenUsageDayPattern(const QLocale &locale)
{
    // Qt has no date skeletons (ICU's "MMMd"), so the month and day are taken out of the
    // locale's long date together with what stands between them.
    struct Token
    {
        QString text;
        bool isField = false; // a run of one pattern letter rather than a literal
    };
    QList<Token> tokens;
    const QString format = locale.dateFormat(QLocale::LongFormat);
    for (qsizetype at = 0; at < format.size();) {
        const QChar c = format.at(at);
        qsizetype end = at + 1;
        if (c == QLatin1Char('\'')) {
            end = format.indexOf(QLatin1Char('\''), at + 1);
            end = end < 0 ? format.size() : end + 1;
        } else if (c == QLatin1Char('d') || c == QLatin1Char('M') || c == QLatin1Char('y')) {
            while (end < format.size() && format.at(end) == c)
                ++end;
        } else {
            while (end < format.size() && !QStringLiteral("dMy'").contains(format.at(end)))
                ++end;
        }
        const QString text = format.mid(at, end - at);
        tokens.append({text, c == QLatin1Char('d') || c == QLatin1Char('M')
                                 || c == QLatin1Char('y')});
        at = end;
    }
    qsizetype day = -1;
    qsizetype month = -1;
    for (qsizetype index = 0; index < tokens.size(); ++index) {
        const Token &token = tokens.at(index);
        if (token.isField && token.text.startsWith(QLatin1Char('M')) && month < 0)
            month = index;
        else if (token.isField && (token.text == QLatin1String("d")
                                   || token.text == QLatin1String("dd")) && day < 0)
            day = index;
    }
    if (day < 0 || month < 0)
        return QStringLiteral("MMM d");
    QString pattern;
    for (qsizetype index = std::min(day, month); index <= std::max(day, month); ++index) {
        const Token &token = tokens.at(index);
        if (index == month)
            pattern += token.text.size() >= 3 ? QStringLiteral("MMM") : token.text;
        else if (index == day)
            pattern += QStringLiteral("d");
        else
            pattern += token.text;
    }
    // A word that closes the day (the "日" of Japanese and Chinese dates) belongs to it; a
    // comma or a blank starts the next part of the date.
    const qsizetype after = std::max(day, month) + 1;
    if (after == day + 1 && after < tokens.size() && !tokens.at(after).isField) {
        const QString &text = tokens.at(after).text;
        const bool closes = std::none_of(text.begin(), text.end(), [](QChar c) {
            return c.isSpace() || c.isPunct();
        });
        if (closes)
            pattern += text;
    }
    return pattern;
}

QString tokenUsageBarLabel(Timestamp start, TokenUsagePeriod period, const QLocale &locale)
{
    const QDateTime time = localTime(start);
    if (period == TokenUsagePeriod::daily)
        return locale.toString(time.date(), tokenUsageDayPattern(locale));
    const bool twelveHours =
        locale.timeFormat(QLocale::ShortFormat).contains(QLatin1String("ap"), Qt::CaseInsensitive);
    return locale.toString(time.time(), twelveHours ? QStringLiteral("h AP")
                                                    : QStringLiteral("HH"));
}

QString tokenUsageChartSummary(const QList<TokenUsageBar> &bars, TokenUsagePeriod period,
                               const QLocale &locale)
{
    qint64 total = 0;
    QStringList used;
    for (const TokenUsageBar &bar : bars) {
        if (bar.tokens <= 0)
            continue;
        total += bar.tokens;
        used.append(tokenUsageBarLabel(bar.start, period, locale) + QStringLiteral(": ")
                    + compactTokens(bar.tokens));
    }
    if (used.isEmpty())
        return QStringLiteral("No token usage.");
    return compactTokens(total) + QStringLiteral(" tokens in all. ")
           + used.join(QStringLiteral(", "));
}

QList<qint64> tokenUsageAxisMarks(qint64 largest)
{
    QList<qint64> marks{0};
    if (largest <= 0)
        return marks;
    // The smallest round step that reaches `largest` in about tokenAxisSteps steps.
    const qint64 rough = std::max<qint64>(1, (largest + tokenAxisSteps - 1) / tokenAxisSteps);
    qint64 power = 1;
    while (power <= rough / 10)
        power *= 10;
    qint64 step = power * 10;
    for (qint64 factor : {1, 2, 5}) {
        if (power * factor >= rough) {
            step = power * factor;
            break;
        }
    }
    for (qint64 mark = step; marks.back() < largest; mark += step)
        marks.append(mark);
    return marks;
}

TokenUsageChart::TokenUsageChart(QWidget *parent)
    : QChartView(parent)
    , m_set(new QBarSet(QStringLiteral("Tokens")))
    , m_timeAxis(new QCategoryAxis)
    , m_tokenAxis(new QCategoryAxis)
{
    setObjectName(QStringLiteral("tokenUsageChart"));
    setRenderHint(QPainter::Antialiasing);
    setFrameShape(QFrame::NoFrame);
    // The card shows through. Not by a style sheet: it would make the palette's backgrounds
    // transparent black, and the focus ring, made to stand out from them, pale.
    viewport()->setAutoFillBackground(false);

    // The view comes with a chart of its own; replacing it would leave that one to the caller.
    QChart *chart = this->chart();
    chart->legend()->hide();
    chart->setBackgroundVisible(false);
    chart->setMargins(QMargins(0, 0, 0, 0));
    chart->setBackgroundRoundness(0);
    auto *series = new QBarSeries;
    series->setBarWidth(barWidth);
    series->append(m_set);
    chart->addSeries(series);

    // Category axes take labels of our own at the values we choose: the compact token counts
    // and a few times, which value and date-time axes cannot give.
    for (QCategoryAxis *axis : {m_timeAxis, m_tokenAxis}) {
        axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
        axis->setLineVisible(false);
        axis->setMinorGridLineVisible(false);
    }
    FontScale::follow(this, [this] {
        const QFont labels = BrowserStyle::monospacedDigitFont(axisLabelSize).font();
        m_timeAxis->setLabelsFont(labels);
        m_tokenAxis->setLabelsFont(labels);
        setFixedHeight(FontScale::scaled(chartHeight));
    });
    m_timeAxis->setGridLineVisible(false);
    m_timeAxis->setTitleText(QStringLiteral("Time"));
    m_timeAxis->setTitleVisible(false);
    m_tokenAxis->setTitleText(QStringLiteral("Tokens"));
    m_tokenAxis->setTitleVisible(false);
    chart->addAxis(m_timeAxis, Qt::AlignBottom);
    chart->addAxis(m_tokenAxis, Qt::AlignLeft);
    series->attachAxis(m_timeAxis);
    series->attachAxis(m_tokenAxis);
    applyColors();
}

QStringList TokenUsageChart::timeLabels() const
{
    return m_timeAxis->categoriesLabels();
}

QStringList TokenUsageChart::tokenLabels() const
{
    return m_tokenAxis->categoriesLabels();
}

void TokenUsageChart::setSeries(const QList<TokenUsagePoint> &points, TokenUsagePeriod period)
{
    m_bars = tokenUsageBars(points, period, Timestamp::now());
    m_set->remove(0, m_set->count());
    qint64 largest = 0;
    QList<qreal> values;
    for (const TokenUsageBar &bar : m_bars) {
        values.append(qreal(bar.tokens));
        largest = std::max(largest, bar.tokens);
    }
    m_set->append(values);

    for (const QString &label : m_timeAxis->categoriesLabels())
        m_timeAxis->remove(label);
    for (qsizetype index : tokenUsageLabelledBars(m_bars, period))
        m_timeAxis->append(tokenUsageBarLabel(m_bars.at(index).start, period), qreal(index));
    m_timeAxis->setRange(-0.5, qreal(m_bars.size()) - 0.5);

    for (const QString &label : m_tokenAxis->categoriesLabels())
        m_tokenAxis->remove(label);
    const QList<qint64> marks = tokenUsageAxisMarks(largest);
    for (qint64 mark : marks) {
        // Labels name their category, so two marks that read alike keep only the first.
        const QString label = compactTokens(mark);
        if (!m_tokenAxis->categoriesLabels().contains(label))
            m_tokenAxis->append(label, qreal(mark));
    }
    m_tokenAxis->setRange(0, qreal(marks.back()));

    setAccessibleName(QStringLiteral("Token usage, ") + tokenUsagePeriodLabel(period));
    setAccessibleDescription(tokenUsageChartSummary(m_bars, period));
}

void TokenUsageChart::paintEvent(QPaintEvent *event)
{
    QChartView::paintEvent(event);
    if (!hasFocus())
        return;
    QPainter painter(viewport());
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.rect = viewport()->rect();
    // The application's style draws the ring every other control shows; the chart's own would
    // be a style sheet's wherever an ancestor sets one, with its plain dotted frame.
    QApplication::style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
}

void TokenUsageChart::focusInEvent(QFocusEvent *event)
{
    QChartView::focusInEvent(event);
    viewport()->update();
}

void TokenUsageChart::focusOutEvent(QFocusEvent *event)
{
    QChartView::focusOutEvent(event);
    viewport()->update();
}

void TokenUsageChart::changeEvent(QEvent *event)
{
    QChartView::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        applyColors();
}

void TokenUsageChart::applyColors()
{
    const QColor accent = SystemColors::accent(palette());
    QLinearGradient fill(0, 0, 0, 1);
    fill.setCoordinateMode(QGradient::ObjectBoundingMode);
    fill.setColorAt(0, accent);
    fill.setColorAt(1, SystemColors::withAlpha(accent, gradientLowerOpacity));
    m_set->setBrush(fill);
    m_set->setPen(Qt::NoPen);
    const QColor labels = BrowserStyle::secondaryLabelColor(palette());
    m_timeAxis->setLabelsColor(labels);
    m_tokenAxis->setLabelsColor(labels);
    m_tokenAxis->setGridLineColor(
        SystemColors::withAlpha(SystemColors::label(palette()), gridLineOpacity));
}

} // namespace tolvaran
