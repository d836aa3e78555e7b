#include "detail/sections/TeamUsageSection.h"

#include "detail/DetailStyle.h"
#include "detail/SidewaysScrollArea.h"
#include "platform/SaturatingAdd.h"
#include "widgets/AccessibleRole.h"
#include "widgets/RoundedPanel.h"
#include "widgets/BrowserStyle.h"
#include "widgets/CompactNumberFormat.h"
#include "widgets/StatusDot.h"
#include "widgets/SystemColors.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace tolvaran {

namespace {

constexpr double panelCornerRadius = 8;
constexpr int panelPadding = 12;
constexpr int columnSpacing = 18;
constexpr int rowSpacing = 8;
constexpr int sectionSpacing = 10;
constexpr int dotSize = 7;
constexpr int dotSpacing = 6;
constexpr double disconnectedDotOpacity = 0.5;
constexpr int percentFractionDigits = 2;
constexpr int costFractionDigits = 2;

const QString noCost = QStringLiteral("--");
const QString note = QStringLiteral(
    "Reported with the existing team heartbeat. Dollar values estimate each member's lifetime "
    "project usage at their current plan allowance rate.");

} // namespace

TeamUsageTotals teamUsageTotals(const TeamProjectUsageSummary &summary)
{
    TeamUsageTotals totals;
    bool hasCost = false;
    for (const TeamProjectUsageMember &member : summary.members) {
        totals.lifetimeTokens = saturatingAdd(totals.lifetimeTokens, member.usage.lifetimeTokens);
        totals.weeklyTokens = saturatingAdd(totals.weeklyTokens, member.usage.weeklyTokens);
        totals.weeklyAllowancePercent += member.usage.weeklyAllowancePercent;
        hasCost = hasCost || member.usage.lifetimePlanCost.has_value();
    }
    if (hasCost)
        totals.lifetimePlanCost = summary.lifetimePlanCost();
    return totals;
}

QString teamUsagePercentText(double percent, const QLocale &locale)
{
    return shortDecimal(percent, percentFractionDigits, locale) + locale.percent();
}

QString teamUsageCostText(std::optional<double> cost, const QLocale &locale)
{
    if (!cost)
        return noCost;
    // The C locale has no currency format at all: dollars are then written as in the US.
    const QLocale format = locale.language() == QLocale::C
        ? QLocale(QLocale::English, QLocale::UnitedStates)
        : locale;
    // QLocale knows the symbol of its own currency only; elsewhere the dollar is marked as
    // the US one.
    const QString symbol =
        format.currencySymbol(QLocale::CurrencyIsoCode) == QLatin1String("USD")
            ? format.currencySymbol(QLocale::CurrencySymbol)
            : QStringLiteral("US$");
    return format.toCurrencyString(*cost, symbol, costFractionDigits);
}

QList<TeamUsageRow> teamUsageRows(const TeamProjectUsageSummary &summary,
                                  const QLocale &locale)
{
    QList<TeamUsageRow> rows;
    for (const TeamProjectUsageMember &member : summary.members) {
        rows.append({member.memberName, compactTokens(member.usage.lifetimeTokens),
                     compactTokens(member.usage.weeklyTokens),
                     teamUsagePercentText(member.usage.weeklyAllowancePercent, locale),
                     teamUsageCostText(member.usage.lifetimePlanCost, locale),
                     member.isConnected});
    }
    const TeamUsageTotals totals = teamUsageTotals(summary);
    rows.append({QStringLiteral("All members"), compactTokens(totals.lifetimeTokens),
                 compactTokens(totals.weeklyTokens),
                 teamUsagePercentText(totals.weeklyAllowancePercent, locale),
                 teamUsageCostText(totals.lifetimePlanCost, locale), std::nullopt});
    return rows;
}

QColor teamMemberDotColor(bool isConnected, const QPalette &palette)
{
    return isConnected ? SystemColors::green()
                       : SystemColors::withAlpha(BrowserStyle::secondaryLabelColor(palette),
                                                 disconnectedDotOpacity);
}

TeamUsageSection::TeamUsageSection(QWidget *parent)
    : QWidget(parent)
    , m_grid(new QGridLayout)
{
    setObjectName(QStringLiteral("teamUsageSection"));
    auto *panel = new RoundedPanel(panelCornerRadius, this);
    panel->setObjectName(QStringLiteral("teamUsageTable"));
    panel->setAccessibleName(QStringLiteral("Team Project Usage"));
    AccessibleRole::markAsTable(panel);
    panel->setLayout(m_grid);
    m_grid->setContentsMargins(panelPadding, panelPadding, panelPadding, panelPadding);
    m_grid->setHorizontalSpacing(columnSpacing);
    m_grid->setVerticalSpacing(rowSpacing);
    m_grid->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    QLabel *noteLabel = DetailStyle::plainLabel(BrowserStyle::systemFont(DetailStyle::captionSize),
                                                this, note);
    noteLabel->setObjectName(QStringLiteral("teamUsageNote"));
    noteLabel->setWordWrap(true);
    BrowserStyle::setTextColor(noteLabel, BrowserStyle::tertiaryLabelColor(palette()));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(sectionSpacing);
    layout->addWidget(DetailStyle::sectionTitle(QStringLiteral("Team Project Usage"),
                                                QStringLiteral("chart.bar.xaxis"), this));
    // The table cannot wrap: where it is wider than the pane it scrolls sideways on its own,
    // and the rest of the Overview keeps the pane's width.
    auto *tableArea = new SidewaysScrollArea(panel, this);
    tableArea->setAccessibleName(QStringLiteral("Team Project Usage"));
    layout->addWidget(tableArea);
    layout->addWidget(noteLabel);
    render();
}

void TeamUsageSection::setSummary(const TeamProjectUsageSummary &summary)
{
    if (m_rendered && summary == m_summary)
        return;
    m_summary = summary;
    render();
}

void TeamUsageSection::render()
{
    m_rendered = true;
    qDeleteAll(m_rowWidgets);
    m_rowWidgets.clear();
    QWidget *panel = m_grid->parentWidget();
    const QColor secondary = BrowserStyle::secondaryLabelColor(palette());
    auto place = [&](QWidget *widget, int row, int column, int columnSpan = 1) {
        m_grid->addWidget(widget, row, column, 1, columnSpan, Qt::AlignLeft | Qt::AlignVCenter);
        m_rowWidgets.append(widget);
    };
    auto text = [&](const QString &value, const ScaledFont &font) {
        return DetailStyle::plainLabel(font, panel, value);
    };

    const ScaledFont headerFont =
        BrowserStyle::systemFont(DetailStyle::captionSize, QFont::DemiBold);
    int row = 0;
    for (qsizetype column = 0; column < columnTitles.size(); ++column) {
        QLabel *title = text(columnTitles.at(column), headerFont);
        BrowserStyle::setTextColor(title, secondary);
        AccessibleRole::markAsColumnHeader(title, int(column));
        place(title, row, int(column));
    }
    place(DetailStyle::divider(panel), ++row, 0, int(columnTitles.size()));

    const QList<TeamUsageRow> rows = teamUsageRows(m_summary);
    int tableRow = 0;
    for (const TeamUsageRow &values : rows) {
        const bool isTotal = !values.isConnected.has_value();
        if (isTotal)
            place(DetailStyle::divider(panel), ++row, 0, int(columnTitles.size()));
        ++row;
        const QFont::Weight weight = isTotal ? QFont::DemiBold : QFont::Normal;
        auto *member = new QWidget(panel);
        member->setObjectName(isTotal ? QStringLiteral("totalRow") : QStringLiteral("memberRow"));
        member->setAccessibleName(values.member);
        AccessibleRole::markAsCell(member, tableRow, 0);
        auto *memberLayout = new QHBoxLayout(member);
        memberLayout->setContentsMargins(0, 0, 0, 0);
        memberLayout->setSpacing(dotSpacing);
        if (!isTotal) {
            memberLayout->addWidget(new StatusDot(
                teamMemberDotColor(*values.isConnected, palette()), dotSize, member));
        }
        memberLayout->addWidget(text(values.member,
                                     BrowserStyle::systemFont(DetailStyle::subheadlineSize,
                                                              isTotal ? QFont::DemiBold
                                                                      : QFont::Medium)));
        place(member, row, 0);
        const ScaledFont figures = BrowserStyle::monospacedDigitFont(DetailStyle::subheadlineSize,
                                                                weight);
        const QStringList cells{values.projectTotal, values.thisWeek, values.weeklyLimit,
                                values.totalEstimate};
        for (qsizetype column = 0; column < cells.size(); ++column) {
            QLabel *cell = text(cells.at(column), figures);
            AccessibleRole::markAsCell(cell, tableRow, int(column) + 1);
            place(cell, row, int(column) + 1);
        }
        ++tableRow;
    }
}

} // namespace tolvaran
