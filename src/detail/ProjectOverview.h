#pragma once

#include "data/catalog/CodexProject.h"
#include "data/git/ProjectGitStatus.h"
#include "platform/Timestamp.h"

#include <QList>
#include <QLocale>
#include <QString>
#include <QWidget>

#include <optional>

class QLabel;

namespace tolvaran {

class AdaptiveGridLayout;
class ElidingLabel;

// One tile of the Overview: a label, its value (already formatted) and a symbol.
struct DetailMetric
{
    QString label;
    QString value;
    QString systemImage;

    friend bool operator==(const DetailMetric &, const DetailMetric &) = default;
};

// The Overview's tiles for a project and its git status: Chats, Tokens and Updated always;
// Branch when the status or the project's chats name one; Upstream (the counts only) when
// the status has an upstream.
QList<DetailMetric> overviewMetrics(const CodexProject &project,
                                    const std::optional<ProjectGitStatus> &gitStatus,
                                    Timestamp now, const QLocale &locale = QLocale());

// A tile of the Overview's grid.
class DetailMetricTile final : public QWidget
{
    Q_OBJECT

public:
    explicit DetailMetricTile(QWidget *parent = nullptr);

    const DetailMetric &shownMetric() const { return m_metric; }
    void setMetric(const DetailMetric &metric);

private:
    DetailMetric m_metric;
    QLabel *m_symbol;
    QLabel *m_label;
    ElidingLabel *m_value;
};

// The titled grid of the Overview's tiles. Tiles are reused when the metrics change.
class ProjectOverview final : public QWidget
{
    Q_OBJECT

public:
    // The grid's columns: between these widths, this far apart.
    static constexpr int minimumColumnWidth = 150;
    static constexpr int maximumColumnWidth = 220;
    static constexpr int columnSpacing = 10;

    explicit ProjectOverview(QWidget *parent = nullptr);

    QList<DetailMetric> metrics() const;
    void setMetrics(const QList<DetailMetric> &metrics);

private:
    AdaptiveGridLayout *m_grid;
    QList<DetailMetricTile *> m_tiles;
};

} // namespace tolvaran
