#include "detail/ProjectOverview.h"

#include "detail/AdaptiveGridLayout.h"
#include "detail/DetailStyle.h"
#include "widgets/FontScale.h"
#include "widgets/RoundedPanel.h"
#include "platform/RelativeDateFormatter.h"
#include "widgets/BrowserStyle.h"
#include "widgets/ElidingLabel.h"
#include "widgets/PlainText.h"
#include "widgets/SymbolIconTable.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace tolvaran {

namespace {
constexpr int tileMinimumHeight = 48;
constexpr double tileCornerRadius = 7;
constexpr int tileSymbolColumnWidth = 16;
} // namespace

QList<DetailMetric> overviewMetrics(const CodexProject &project,
                                    const std::optional<ProjectGitStatus> &gitStatus,
                                    Timestamp now, const QLocale &locale)
{
    QList<DetailMetric> metrics{
        {QStringLiteral("Chats"), QString::number(project.threadCount()),
         QStringLiteral("text.bubble")},
        {QStringLiteral("Tokens"), locale.toString(project.totalTokens()),
         QStringLiteral("number")},
        {QStringLiteral("Updated"), relativeDateText(project.lastUpdated(), now),
         QStringLiteral("clock")},
    };
    std::optional<QString> branch = gitStatus ? gitStatus->branch : std::nullopt;
    if (!branch)
        branch = project.displayBranch();
    if (branch) {
        metrics.append({QStringLiteral("Branch"), *branch,
                        QStringLiteral("point.3.connected.trianglepath.dotted")});
    }
    if (gitStatus && gitStatus->upstream) {
        metrics.append({QStringLiteral("Upstream"),
                        QString::number(gitStatus->aheadCount) + QStringLiteral(" ahead, ")
                            + QString::number(gitStatus->behindCount)
                            + QStringLiteral(" behind"),
                        QStringLiteral("arrow.up.arrow.down")});
    }
    return metrics;
}

DetailMetricTile::DetailMetricTile(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("detailMetric"));
    auto *panel = new RoundedPanel(tileCornerRadius, this);
    FontScale::follow(panel,
                      [panel] { panel->setMinimumHeight(FontScale::scaled(tileMinimumHeight)); });
    m_symbol = new QLabel(panel);
    m_symbol->setFixedWidth(tileSymbolColumnWidth);
    m_label = DetailStyle::plainLabel(BrowserStyle::systemFont(DetailStyle::caption2Size), panel);
    m_label->setObjectName(QStringLiteral("metricLabel"));
    BrowserStyle::setTextColor(m_label, BrowserStyle::secondaryLabelColor(palette()));
    m_value = new ElidingLabel(panel);
    m_value->setObjectName(QStringLiteral("metricValue"));
    BrowserStyle::systemFont(DetailStyle::subheadlineSize, QFont::Medium).apply(m_value);
    // A long branch name is cut rather than widening its column.
    m_value->setMinimumWidth(1);
    m_value->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    auto *texts = new QVBoxLayout;
    texts->setSpacing(1);
    texts->addWidget(m_label);
    texts->addWidget(m_value);
    auto *row = new QHBoxLayout(panel);
    row->setContentsMargins(10, 8, 10, 8);
    row->setSpacing(8);
    row->addWidget(m_symbol);
    row->addLayout(texts, 1);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(panel);
}

void DetailMetricTile::setMetric(const DetailMetric &metric)
{
    if (metric == m_metric)
        return;
    if (metric.systemImage != m_metric.systemImage) {
        m_symbol->setPixmap(symbolIcon(metric.systemImage)
                                .pixmap(tileSymbolColumnWidth, tileSymbolColumnWidth));
    }
    m_metric = metric;
    m_label->setText(metric.label);
    m_value->setText(metric.value);
    setPlainToolTip(m_value, metric.value);
}

ProjectOverview::ProjectOverview(QWidget *parent)
    : QWidget(parent)
    , m_grid(new AdaptiveGridLayout(minimumColumnWidth, maximumColumnWidth, columnSpacing))
{
    setObjectName(QStringLiteral("projectOverview"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    layout->addWidget(DetailStyle::sectionTitle(QStringLiteral("Overview"), {}, this));
    layout->addLayout(m_grid);
    FontScale::follow(this, [this] {
        m_grid->setColumnWidths(FontScale::scaled(minimumColumnWidth),
                                FontScale::scaled(maximumColumnWidth));
    });
}

QList<DetailMetric> ProjectOverview::metrics() const
{
    QList<DetailMetric> metrics;
    for (const DetailMetricTile *tile : m_tiles)
        metrics.append(tile->shownMetric());
    return metrics;
}

void ProjectOverview::setMetrics(const QList<DetailMetric> &metrics)
{
    while (m_tiles.size() > metrics.size()) {
        DetailMetricTile *tile = m_tiles.takeLast();
        m_grid->removeWidget(tile);
        delete tile;
    }
    while (m_tiles.size() < metrics.size()) {
        auto *tile = new DetailMetricTile(this);
        m_grid->addWidget(tile);
        m_tiles.append(tile);
    }
    for (qsizetype index = 0; index < metrics.size(); ++index)
        m_tiles.at(index)->setMetric(metrics.at(index));
}

} // namespace tolvaran
