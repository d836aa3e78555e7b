#include "detail/sections/CommitList.h"

#include "detail/DetailEmptyState.h"
#include "detail/DetailStyle.h"
#include "widgets/FontScale.h"
#include "widgets/RoundedPanel.h"
#include "widgets/BrowserStyle.h"
#include "widgets/SystemColors.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace tolvaran {

namespace {
constexpr int loadingMinimumHeight = 80;
constexpr int progressWidth = 120;
constexpr int rowsHorizontalPadding = 12;
constexpr int rowVerticalPadding = 10;
constexpr double cornerRadius = 8;
const QString emptyText = QStringLiteral("No Git commits found");
const QString symbol = QStringLiteral("clock.arrow.circlepath");
} // namespace

CommitRow::CommitRow(const ProjectCommit &commit, QWidget *parent)
    : QWidget(parent)
    , m_commit(commit)
{
    setObjectName(QStringLiteral("commitRow"));
    QLabel *hash = DetailStyle::plainLabel(BrowserStyle::monospacedFont(DetailStyle::captionSize),
                                           this, commit.shortHash);
    hash->setObjectName(QStringLiteral("commitHash"));
    FontScale::follow(hash, [hash] { hash->setFixedWidth(FontScale::scaled(hashColumnWidth)); });
    BrowserStyle::setTextColor(hash, SystemColors::accent(palette()));
    QLabel *subject = DetailStyle::plainLabel(
        BrowserStyle::systemFont(DetailStyle::subheadlineSize, QFont::Medium), this,
        commit.subject);
    subject->setObjectName(QStringLiteral("commitSubject"));
    subject->setWordWrap(true);
    subject->setTextInteractionFlags(Qt::TextSelectableByMouse);
    const QString bylineText = commit.author + QStringLiteral("  |  ") + commit.date;
    QLabel *byline = DetailStyle::plainLabel(BrowserStyle::systemFont(DetailStyle::captionSize),
                                             this, bylineText);
    byline->setObjectName(QStringLiteral("commitByline"));
    BrowserStyle::setTextColor(byline, BrowserStyle::secondaryLabelColor(palette()));

    auto *texts = new QVBoxLayout;
    texts->setSpacing(3);
    texts->addWidget(subject);
    texts->addWidget(byline);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, rowVerticalPadding, 0, rowVerticalPadding);
    layout->setSpacing(12);
    layout->addWidget(hash, 0, Qt::AlignTop);
    layout->addLayout(texts, 1);
}

CommitList::CommitList(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("commitList"));
    m_loading = new QWidget(this);
    m_loading->setObjectName(QStringLiteral("commitsLoading"));
    FontScale::follow(m_loading, [loading = m_loading] {
        loading->setMinimumHeight(FontScale::scaled(loadingMinimumHeight));
    });
    auto *spinner = new QProgressBar(m_loading);
    spinner->setRange(0, 0);
    spinner->setTextVisible(false);
    spinner->setFixedWidth(progressWidth);
    auto *loadingLayout = new QHBoxLayout(m_loading);
    loadingLayout->addWidget(spinner, 0, Qt::AlignCenter);

    m_rowsPanel = new RoundedPanel(cornerRadius, this);
    m_rowsPanel->setObjectName(QStringLiteral("commitRows"));
    m_rowsLayout = new QVBoxLayout(m_rowsPanel);
    m_rowsLayout->setContentsMargins(rowsHorizontalPadding, 0, rowsHorizontalPadding, 0);
    m_rowsLayout->setSpacing(0);
    m_empty = new DetailEmptyState(emptyText, symbol, this);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    layout->addWidget(DetailStyle::sectionTitle(QStringLiteral("Recent Commits"), symbol, this));
    layout->addWidget(m_loading);
    layout->addWidget(m_rowsPanel);
    layout->addWidget(m_empty);
    m_rowsPanel->hide();
    m_empty->hide();
}

void CommitList::setCommits(const std::optional<QList<ProjectCommit>> &commits, bool isLoading)
{
    if (isLoading)
        m_state = State::loading;
    else if (commits && !commits->isEmpty())
        m_state = State::rows;
    else
        m_state = State::empty;
    if (m_state == State::rows && *commits != m_shownCommits)
        rebuildRows(*commits);
    m_loading->setVisible(m_state == State::loading);
    m_rowsPanel->setVisible(m_state == State::rows);
    m_empty->setVisible(m_state == State::empty);
}

QList<CommitRow *> CommitList::rows() const
{
    return m_rowsPanel->findChildren<CommitRow *>(Qt::FindDirectChildrenOnly);
}

int CommitList::dividerCount() const
{
    return int(m_rowsPanel->findChildren<QWidget *>(QStringLiteral("divider"),
                                                     Qt::FindDirectChildrenOnly)
                   .size());
}

void CommitList::rebuildRows(const QList<ProjectCommit> &commits)
{
    while (QLayoutItem *item = m_rowsLayout->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    for (qsizetype index = 0; index < commits.size(); ++index) {
        if (index > 0)
            m_rowsLayout->addWidget(DetailStyle::divider(m_rowsPanel));
        m_rowsLayout->addWidget(new CommitRow(commits.at(index), m_rowsPanel));
    }
    m_shownCommits = commits;
}

} // namespace tolvaran
