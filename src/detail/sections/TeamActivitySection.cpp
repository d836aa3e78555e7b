#include "detail/sections/TeamActivitySection.h"

#include "detail/sections/ChangedFileList.h"
#include "detail/DetailStyle.h"
#include "widgets/RoundedPanel.h"
#include "platform/RelativeDateFormatter.h"
#include "widgets/BrowserStyle.h"
#include "widgets/ElidingLabel.h"
#include "widgets/SymbolIconTable.h"
#include "widgets/SystemColors.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace tolvaran {

namespace {

constexpr double listCornerRadius = 8;
constexpr int listHorizontalPadding = 12;
constexpr int rowVerticalPadding = 11;
constexpr int rowSpacing = 12;
constexpr int rowTextSpacing = 4;
constexpr int iconColumnWidth = 20;
constexpr int sectionSpacing = 10;

const QString overlapSentence = QStringLiteral("Changed file paths overlap.");

QLabel *coloured(QLabel *label, const QColor &color)
{
    BrowserStyle::setTextColor(label, color);
    return label;
}

} // namespace

QString TeamActivitySection::statusLabel(const TeamProjectPeer &peer)
{
    switch (peer.conflictLevel) {
    case TeamConflictLevel::awareness:
        return peer.isConnected ? QStringLiteral("Active") : QStringLiteral("Saved work");
    case TeamConflictLevel::caution:
        return QStringLiteral("Caution");
    case TeamConflictLevel::high:
        return QStringLiteral("High overlap");
    case TeamConflictLevel::critical:
        return QStringLiteral("Critical overlap");
    }
    return {};
}

QColor TeamActivitySection::statusColor(const TeamProjectPeer &peer, const QPalette &palette)
{
    if (peer.conflictLevel == TeamConflictLevel::awareness && !peer.isConnected)
        return BrowserStyle::secondaryLabelColor(palette);
    return levelColor(peer.conflictLevel);
}

QColor TeamActivitySection::levelColor(TeamConflictLevel level)
{
    switch (level) {
    case TeamConflictLevel::awareness:
        return SystemColors::green();
    case TeamConflictLevel::caution:
        return SystemColors::yellow();
    case TeamConflictLevel::high:
        return SystemColors::orange();
    case TeamConflictLevel::critical:
        return SystemColors::red();
    }
    return SystemColors::green();
}

QString TeamActivitySection::levelSymbol(TeamConflictLevel level)
{
    switch (level) {
    case TeamConflictLevel::awareness:
        return QStringLiteral("person.crop.circle.fill");
    case TeamConflictLevel::caution:
        return QStringLiteral("exclamationmark.circle.fill");
    case TeamConflictLevel::high:
    case TeamConflictLevel::critical:
        return QStringLiteral("exclamationmark.triangle.fill");
    }
    return {};
}

QString TeamActivitySection::freshnessText(const TeamProjectPeer &peer, Timestamp now)
{
    if (peer.isConnected)
        return QStringLiteral("Connected now");
    return QStringLiteral("Last synced ") + relativeDateText(peer.serverUpdatedAt, now);
}

QString TeamActivitySection::overlapText(const TeamProjectPeer &peer)
{
    if (!peer.overlappingFiles.isEmpty())
        return QStringLiteral("Both of you changed: ") + peer.overlappingFiles.join(u", ");
    switch (peer.conflictLevel) {
    case TeamConflictLevel::high:
    case TeamConflictLevel::critical:
        return overlapSentence;
    case TeamConflictLevel::caution:
        return peer.isConnected
            ? QStringLiteral("Working on the same branch or Codex is active, but no changed "
                             "files overlap yet.")
            : QStringLiteral("Last reported local work is on the same branch, but no changed "
                             "files overlap.");
    case TeamConflictLevel::awareness:
        break;
    }
    return peer.isConnected
        ? QStringLiteral("Working in another branch or checkout without shared changed files.")
        : QStringLiteral("Last reported local work is on another branch or checkout without "
                         "shared changed files.");
}

std::optional<QColor> TeamActivitySection::outlineColor(const TeamProjectSummary &summary)
{
    const TeamConflictLevel level = summary.conflictLevel();
    if (level != TeamConflictLevel::high && level != TeamConflictLevel::critical)
        return std::nullopt;
    return SystemColors::withAlpha(levelColor(level), outlineOpacity);
}

TeamActivitySection::TeamActivitySection(QWidget *parent)
    : QWidget(parent)
    , m_list(new RoundedPanel(listCornerRadius, this))
{
    setObjectName(QStringLiteral("teamActivitySection"));
    m_list->setObjectName(QStringLiteral("teamPeerList"));
    auto *listLayout = new QVBoxLayout(m_list);
    listLayout->setContentsMargins(listHorizontalPadding, 0, listHorizontalPadding, 0);
    listLayout->setSpacing(0);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(sectionSpacing);
    layout->addWidget(DetailStyle::sectionTitle(QStringLiteral("Team Activity"),
                                                QStringLiteral("person.2.fill"), this));
    layout->addWidget(m_list);
}

void TeamActivitySection::setSummary(const TeamProjectSummary &summary, Timestamp now)
{
    m_summary = summary;
    qDeleteAll(m_rows);
    m_rows.clear();
    auto *listLayout = static_cast<QVBoxLayout *>(m_list->layout());
    for (qsizetype index = 0; index < summary.peers.size(); ++index) {
        if (index > 0) {
            QWidget *divider = DetailStyle::divider(m_list);
            listLayout->addWidget(divider);
            m_rows.append(divider);
        }
        QWidget *row = makePeerRow(summary.peers.at(index), now);
        listLayout->addWidget(row);
        m_rows.append(row);
    }
    m_list->setStroke(outlineColor(summary));
}

QWidget *TeamActivitySection::makePeerRow(const TeamProjectPeer &peer, Timestamp now)
{
    const QPalette &colours = palette();
    const QColor status = statusColor(peer, colours);
    const QColor secondary = BrowserStyle::secondaryLabelColor(colours);
    const ScaledFont caption = BrowserStyle::systemFont(DetailStyle::captionSize);
    const ScaledFont subheadline = BrowserStyle::systemFont(DetailStyle::subheadlineSize);

    auto *row = new QWidget(m_list);
    row->setObjectName(QStringLiteral("teamPeerRow"));
    row->setProperty("deviceId", peer.deviceId);

    auto *icon = new QLabel(row);
    icon->setObjectName(QStringLiteral("levelIcon"));
    icon->setFixedWidth(iconColumnWidth);
    icon->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    icon->setPixmap(tintedSymbolIcon(levelSymbol(peer.conflictLevel), status)
                        .pixmap(DetailStyle::symbolSize, DetailStyle::symbolSize));
    icon->setProperty("symbol", levelSymbol(peer.conflictLevel));
    icon->setProperty("symbolColor", status);

    auto *title = new QHBoxLayout;
    title->setContentsMargins(0, 0, 0, 0);
    // A long name or branch is cut rather than widening the pane.
    auto cuttable = [row](const QString &text, const ScaledFont &font) {
        auto *label = new ElidingLabel(row);
        font.apply(label);
        label->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
        label->setToolTipWhenCut(true);
        label->setText(text);
        return label;
    };
    ElidingLabel *name = cuttable(
        peer.memberName, BrowserStyle::systemFont(DetailStyle::headlineSize, QFont::DemiBold));
    name->setObjectName(QStringLiteral("memberName"));
    title->addWidget(name);
    QLabel *statusText = coloured(
        DetailStyle::plainLabel(BrowserStyle::systemFont(DetailStyle::captionSize,
                                                         QFont::DemiBold),
                                row, statusLabel(peer)),
        status);
    statusText->setObjectName(QStringLiteral("statusLabel"));
    title->addWidget(statusText);
    if (peer.isConnected && peer.project.isCodexProcessing) {
        QWidget *running = teamSymbolLabel(QStringLiteral("gearshape.2.fill"),
                                           QStringLiteral("Codex running"), caption,
                                           SystemColors::accent(colours), row);
        running->setObjectName(QStringLiteral("codexRunning"));
        title->addWidget(running);
    }
    title->addStretch(1);
    if (peer.project.branch) {
        QLabel *branch = coloured(
            cuttable(*peer.project.branch, BrowserStyle::monospacedFont(DetailStyle::captionSize)),
            secondary);
        branch->setObjectName(QStringLiteral("branch"));
        title->addWidget(branch);
    }

    QWidget *freshness =
        peer.isConnected
            ? teamSymbolLabel(QStringLiteral("circle.fill"), freshnessText(peer, now), caption,
                              SystemColors::green(), row)
            : teamSymbolLabel(QStringLiteral("clock"), freshnessText(peer, now), caption,
                              secondary, row);
    freshness->setObjectName(QStringLiteral("freshness"));

    QWidget *summary = nullptr;
    if (peer.project.workSummary) {
        QLabel *text = coloured(DetailStyle::plainLabel(subheadline, row,
                                                        *peer.project.workSummary),
                                secondary);
        text->setWordWrap(true);
        text->setObjectName(QStringLiteral("workSummary"));
        summary = text;
    } else {
        summary = pendingSummaryLabel(subheadline, row);
    }

    auto *files = new ChangedFileList(row);
    files->setFiles(peer.project.changedFiles);

    const bool overlaps = !peer.overlappingFiles.isEmpty();
    QLabel *overlap = DetailStyle::plainLabel(
        BrowserStyle::systemFont(DetailStyle::subheadlineSize,
                                 overlaps ? QFont::DemiBold : QFont::Normal),
        row, overlapText(peer));
    overlap->setObjectName(QStringLiteral("overlap"));
    overlap->setWordWrap(true);
    coloured(overlap, overlaps ? levelColor(peer.conflictLevel) : secondary);
    if (overlaps)
        overlap->setTextInteractionFlags(Qt::TextSelectableByMouse);

    QLabel *statistics = coloured(
        DetailStyle::plainLabel(caption, row, teamStatisticsLine(peer.project)),
        BrowserStyle::tertiaryLabelColor(colours));
    statistics->setObjectName(QStringLiteral("statisticsLine"));

    auto *texts = new QVBoxLayout;
    texts->setContentsMargins(0, 0, 0, 0);
    texts->setSpacing(rowTextSpacing);
    texts->addLayout(title);
    texts->addWidget(freshness);
    texts->addWidget(summary);
    texts->addWidget(files);
    texts->addWidget(overlap);
    texts->addWidget(statistics);

    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, rowVerticalPadding, 0, rowVerticalPadding);
    layout->setSpacing(rowSpacing);
    layout->addWidget(icon, 0, Qt::AlignTop);
    layout->addLayout(texts, 1);
    return row;
}

} // namespace tolvaran
