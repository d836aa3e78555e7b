#include "detail/sections/TokenUsageSection.h"

#include "coordinator/ProjectListViewModel.h"
#include "detail/AdaptiveGridLayout.h"
#include "detail/DetailStyle.h"
#include "widgets/FontScale.h"
#include "widgets/RoundedPanel.h"
#include "detail/sections/TokenUsageChart.h"
#include "widgets/BrowserStyle.h"
#include "widgets/CompactNumberFormat.h"
#include "widgets/ElidingLabel.h"
#include "widgets/SegmentedControl.h"
#include "widgets/SystemColors.h"
#include "widgets/WrappingRowLayout.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QShowEvent>
#include <QVBoxLayout>

namespace tolvaran {

namespace {

// Lifetime, Today, Last 7 Days, Weekly Limit, Total Estimate.
constexpr int metricTileCount = 5;
constexpr double orangeShare = 0.05;
constexpr double redShare = 0.1;

constexpr int cardPadding = 14;
constexpr int cardSpacing = 12;
constexpr double cardCornerRadius = 8;
constexpr double cardStrokeOpacity = 0.14;
constexpr int tileMinimumColumnWidth = 135;
constexpr int tileMaximumColumnWidth = 230;
constexpr int tileSpacing = 10;
constexpr int tileMinimumHeight = 66;
constexpr double tileCornerRadius = 6;
constexpr int tileHorizontalPadding = 10;
constexpr int tileVerticalPadding = 9;
constexpr int tileSpacingInside = 3;
constexpr int pickerMaximumWidth = 210;
constexpr int progressWidth = 48;
constexpr int progressHeight = 6;
constexpr int chartTopPadding = 4;
constexpr int placeholderMinimumHeight = 120;
constexpr int breakdownSpacing = 16;
constexpr int breakdownDotSize = 6;
constexpr int breakdownDotSpacing = 5;
constexpr int breakdownLineSpacing = 6;
constexpr int headerSpacing = 6;

const QString middleDot = QString(QChar(0x00B7));

QString percentText(double fraction, const QLocale &locale)
{
    return shortDecimal(fraction * 100.0, 2, locale) + locale.percent();
}

QPixmap dot(const QColor &color)
{
    QPixmap pixmap(breakdownDotSize * 2, breakdownDotSize * 2);
    pixmap.setDevicePixelRatio(2);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawEllipse(QRectF(0, 0, breakdownDotSize, breakdownDotSize));
    return pixmap;
}

} // namespace

UsageColor weeklyShareColor(double share)
{
    if (share >= redShare)
        return UsageColor::red;
    if (share >= orangeShare)
        return UsageColor::orange;
    return UsageColor::purple;
}

QList<UsageMetric> tokenUsageMetrics(const TokenUsageReport &report,
                                     const TokenUsageSnapshot &snapshot,
                                     const QString &projectPath, const QLocale &locale)
{
    const double share = snapshot.weeklyAllowanceContribution(projectPath);
    const QString allowance =
        snapshot.weeklyAllowance
            ? QStringLiteral("of allowance ") + middleDot + QLatin1Char(' ')
                  + shortDecimal(snapshot.weeklyAllowance->usedPercent, 1, locale)
                  + QStringLiteral("% used overall")
            : QStringLiteral("waiting for Codex usage status");
    const std::optional<double> planValue = snapshot.lifetimePlanValue(projectPath);
    // The C locale (no language set) writes the symbol after the amount; dollars read as
    // American English writes them there.
    const QLocale money =
        locale.language() == QLocale::C ? QLocale(QLocale::English, QLocale::UnitedStates)
                                         : locale;
    return {
        {QStringLiteral("Lifetime"), compactTokens(report.lifetimeTokens),
         QStringLiteral("all project chats"), UsageColor::primary},
        {QStringLiteral("Today"), compactTokens(report.todayTokens),
         QStringLiteral("since local midnight"), UsageColor::blue},
        {QStringLiteral("Last 7 Days"), compactTokens(report.lastSevenDaysTokens),
         QStringLiteral("rolling seven-day total"), UsageColor::blue},
        {QStringLiteral("Weekly Limit"), percentText(share, locale), allowance,
         weeklyShareColor(share)},
        {QStringLiteral("Total Estimate"),
         planValue ? money.toCurrencyString(*planValue, QStringLiteral("$"), 2)
                   : QStringLiteral("--"),
         QStringLiteral("estimated lifetime plan value"), UsageColor::green},
    };
}

QList<UsageBreakdown> tokenUsageBreakdown(const TokenUsageReport &report)
{
    return {
        {QStringLiteral("Input"), report.inputTokens, UsageColor::blue},
        {QStringLiteral("Cached"), report.cachedInputTokens, UsageColor::mint},
        {QStringLiteral("Output"), report.outputTokens, UsageColor::orange},
    };
}

TokenUsageSection::TokenUsageSection(ProjectListViewModel &coordinator,
                                     const QString &projectPath, QWidget *parent)
    : QWidget(parent)
    , m_coordinator(coordinator)
    , m_projectPath(projectPath)
    , m_grid(new AdaptiveGridLayout(tileMinimumColumnWidth, tileMaximumColumnWidth, tileSpacing))
{
    setObjectName(QStringLiteral("tokenUsageSection"));
    auto *card = new RoundedPanel(cardCornerRadius, this);
    card->setStroke(SystemColors::withAlpha(BrowserStyle::secondaryLabelColor(palette()),
                                            cardStrokeOpacity));

    // Header: the title and the indexing indicator, then the period picker at the far end, or
    // below them where the card is too narrow for both.
    auto *header = new QWidget(card);
    auto *title = new QWidget(header);
    auto *titleRow = new QHBoxLayout(title);
    titleRow->setContentsMargins(0, 0, 0, 0);
    titleRow->addWidget(DetailStyle::sectionTitle(QStringLiteral("Token Usage"),
                                                  QStringLiteral("chart.bar.xaxis"), title));
    m_progress = new QProgressBar(title);
    m_progress->setObjectName(QStringLiteral("tokenUsageProgress"));
    m_progress->setRange(0, 0);
    m_progress->setTextVisible(false);
    m_progress->setFixedSize(progressWidth, progressHeight);
    m_progress->hide();
    titleRow->addWidget(m_progress);
    titleRow->addStretch(1);
    auto *headerRow = new WrappingRowLayout(header);
    headerRow->setHorizontalSpacing(headerSpacing);
    headerRow->setVerticalSpacing(headerSpacing);
    headerRow->setLastItemAtTrailingEdge(true);
    headerRow->addWidget(title);
    QStringList labels;
    for (TokenUsagePeriod period : tokenUsagePeriods())
        labels.append(tokenUsagePeriodLabel(period));
    m_picker = new SegmentedControl(labels, header);
    m_picker->setObjectName(QStringLiteral("tokenUsagePeriod"));
    m_picker->setAccessibleName(QStringLiteral("Period"));
    FontScale::follow(m_picker, [picker = m_picker] {
        picker->setMaximumWidth(FontScale::scaled(pickerMaximumWidth));
    });
    m_picker->setSelectedSegment(int(tokenUsagePeriods().indexOf(m_period)));
    connect(m_picker, &SegmentedControl::segmentSelected, this, [this](int segment) {
        setPeriod(tokenUsagePeriods().value(segment, initialPeriod));
    });
    headerRow->addWidget(m_picker);

    // Tiles: made once, filled on every change.
    for (int index = 0; index < metricTileCount; ++index) {
        auto *panel = new RoundedPanel(tileCornerRadius, card);
        panel->setObjectName(QStringLiteral("usageMetric"));
        panel->setFill(palette().color(QPalette::Window));
        FontScale::follow(panel, [panel] {
            panel->setMinimumHeight(FontScale::scaled(tileMinimumHeight));
        });
        auto *column = new QVBoxLayout(panel);
        column->setContentsMargins(tileHorizontalPadding, tileVerticalPadding,
                                   tileHorizontalPadding, tileVerticalPadding);
        column->setSpacing(tileSpacingInside);
        Tile tile{panel,
                  DetailStyle::plainLabel(BrowserStyle::systemFont(DetailStyle::captionSize),
                                          panel),
                  DetailStyle::plainLabel(
                      BrowserStyle::monospacedDigitFont(DetailStyle::title3Size, QFont::DemiBold),
                      panel),
                  new ElidingLabel(panel)};
        BrowserStyle::setTextColor(tile.label, BrowserStyle::secondaryLabelColor(palette()));
        BrowserStyle::systemFont(DetailStyle::caption2Size).apply(tile.detail);
        tile.detail->setMinimumWidth(1);
        tile.detail->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        tile.detail->setToolTipWhenCut(true);
        BrowserStyle::setTextColor(tile.detail, BrowserStyle::tertiaryLabelColor(palette()));
        column->addWidget(tile.label);
        column->addWidget(tile.value);
        column->addWidget(tile.detail);
        column->addStretch(1);
        m_grid->addWidget(panel);
        m_tiles.append(tile);
    }

    m_chart = new TokenUsageChart(card);
    m_placeholder = new QWidget(card);
    m_placeholder->setObjectName(QStringLiteral("tokenUsagePlaceholder"));
    FontScale::follow(m_placeholder, [placeholder = m_placeholder] {
        placeholder->setMinimumHeight(FontScale::scaled(placeholderMinimumHeight));
    });
    FontScale::follow(this, [this] {
        m_grid->setColumnWidths(FontScale::scaled(tileMinimumColumnWidth),
                                FontScale::scaled(tileMaximumColumnWidth));
    });
    auto *placeholderLayout = new QVBoxLayout(m_placeholder);
    placeholderLayout->setSpacing(8);
    placeholderLayout->addStretch(1);
    QLabel *symbol =
        DetailStyle::symbolLabel(QStringLiteral("chart.bar"), DetailStyle::title2Size, card);
    placeholderLayout->addWidget(symbol, 0, Qt::AlignHCenter);
    m_placeholderText = DetailStyle::plainLabel(
        BrowserStyle::systemFont(DetailStyle::subheadlineSize, QFont::Medium), m_placeholder);
    BrowserStyle::setTextColor(m_placeholderText, BrowserStyle::secondaryLabelColor(palette()));
    placeholderLayout->addWidget(m_placeholderText, 0, Qt::AlignHCenter);
    placeholderLayout->addStretch(1);

    // The token split, its parts wrapping where the card is narrow, and the indexed total at
    // the far end of the last line.
    auto *breakdown = new QWidget(card);
    auto *breakdownRow = new WrappingRowLayout(breakdown);
    breakdownRow->setHorizontalSpacing(breakdownSpacing);
    breakdownRow->setVerticalSpacing(breakdownLineSpacing);
    breakdownRow->setLastItemAtTrailingEdge(true);
    for (const UsageBreakdown &part : tokenUsageBreakdown({})) {
        auto *item = new QWidget(breakdown);
        auto *itemRow = new QHBoxLayout(item);
        itemRow->setContentsMargins(0, 0, 0, 0);
        itemRow->setSpacing(breakdownDotSpacing);
        auto *dotLabel = new QLabel(item);
        dotLabel->setPixmap(dot(colorOf(part.color)));
        itemRow->addWidget(dotLabel);
        QLabel *text = DetailStyle::plainLabel(
            BrowserStyle::monospacedDigitFont(DetailStyle::captionSize), item);
        text->setObjectName(QStringLiteral("usageBreakdown"));
        BrowserStyle::setTextColor(text, BrowserStyle::secondaryLabelColor(palette()));
        itemRow->addWidget(text);
        breakdownRow->addWidget(item);
        m_breakdown.append(text);
    }
    m_indexed = DetailStyle::plainLabel(
        BrowserStyle::monospacedDigitFont(DetailStyle::captionSize), breakdown);
    m_indexed->setObjectName(QStringLiteral("usageIndexed"));
    BrowserStyle::setTextColor(m_indexed, BrowserStyle::tertiaryLabelColor(palette()));
    breakdownRow->addWidget(m_indexed);

    auto *column = new QVBoxLayout(card);
    column->setContentsMargins(cardPadding, cardPadding, cardPadding, cardPadding);
    column->setSpacing(cardSpacing);
    column->addWidget(header);
    column->addLayout(m_grid);
    auto *chartFrame = new QVBoxLayout;
    chartFrame->setContentsMargins(0, chartTopPadding, 0, 0);
    chartFrame->addWidget(m_chart);
    column->addLayout(chartFrame);
    column->addWidget(m_placeholder);
    column->addWidget(breakdown);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(card);

    connect(&m_coordinator, &ProjectListViewModel::tokenUsageChanged, this,
            &TokenUsageSection::schedule);
    showUsage();
}

void TokenUsageSection::setPeriod(TokenUsagePeriod period)
{
    m_picker->setSelectedSegment(int(tokenUsagePeriods().indexOf(period)));
    if (period == m_period)
        return;
    m_period = period;
    showChart();
}

void TokenUsageSection::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // A window coming back from the taskbar is not a new showing.
    if (!event->spontaneous())
        resetPeriod();
}

bool TokenUsageSection::isShowingChart() const
{
    return !m_chart->isHidden();
}

QString TokenUsageSection::placeholderText() const
{
    return m_placeholderText->text();
}

bool TokenUsageSection::isShowingProgress() const
{
    return !m_progress->isHidden();
}

void TokenUsageSection::schedule()
{
    m_usageCall.schedule();
}

void TokenUsageSection::showUsage()
{
    m_report = m_coordinator.tokenUsage(m_projectPath);
    m_metrics = tokenUsageMetrics(m_report, m_coordinator.tokenUsageSnapshot(), m_projectPath);
    for (qsizetype index = 0; index < m_tiles.size() && index < m_metrics.size(); ++index) {
        const Tile &tile = m_tiles.at(index);
        const UsageMetric &metric = m_metrics.at(index);
        tile.label->setText(metric.label);
        tile.value->setText(metric.value);
        BrowserStyle::setTextColor(tile.value, colorOf(metric.color));
        tile.detail->setText(metric.detail);
    }
    const QList<UsageBreakdown> parts = tokenUsageBreakdown(m_report);
    for (qsizetype index = 0; index < parts.size() && index < m_breakdown.size(); ++index) {
        m_breakdown.at(index)->setText(parts.at(index).label + QLatin1Char(' ')
                                       + compactTokens(parts.at(index).value));
    }
    m_indexed->setText(QStringLiteral("Indexed ") + compactTokens(m_report.indexedTokens));
    m_progress->setVisible(m_coordinator.isIndexingTokenUsage());
    showChart();
}

void TokenUsageSection::showChart()
{
    const QList<TokenUsagePoint> &points =
        m_period == TokenUsagePeriod::daily ? m_report.daily : m_report.hourly;
    const bool chart = hasChartableUsage(points);
    if (chart)
        m_chart->setSeries(points, m_period);
    m_placeholderText->setText(m_coordinator.isIndexingTokenUsage() ? indexingText
                                                                    : noUsageText);
    m_chart->setVisible(chart);
    m_placeholder->setVisible(!chart);
}

QColor TokenUsageSection::colorOf(UsageColor color) const
{
    switch (color) {
    case UsageColor::primary:
        return SystemColors::label(palette());
    case UsageColor::blue:
        return SystemColors::blue();
    case UsageColor::mint:
        return SystemColors::mint();
    case UsageColor::orange:
        return SystemColors::orange();
    case UsageColor::green:
        return SystemColors::green();
    case UsageColor::red:
        return SystemColors::red();
    case UsageColor::purple:
        return SystemColors::purple();
    }
    return SystemColors::label(palette());
}

} // namespace tolvaran
