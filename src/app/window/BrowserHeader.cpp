#include "app/window/BrowserHeader.h"

#include "app/window/BrowserWidgets.h"
#include "app/window/TeamFilterOption.h"
#include "app/window/TokenUsageStrip.h"
#include "app/window/UpdateControl.h"
#include "platform/AppBrand.h"
#include "widgets/BrowserStyle.h"
#include "widgets/ClosureButton.h"
#include "widgets/FontScale.h"
#include "widgets/PlainText.h"
#include "widgets/SegmentedControl.h"
#include "widgets/SymbolIconTable.h"
#include "widgets/SystemColors.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QVBoxLayout>

#include <algorithm>

namespace tolvaran {

namespace {

using namespace BrowserStyle;
using namespace BrowserWidgets;

QColor teamToneColor(TeamButtonPresentation::Tone tone, const QPalette &palette)
{
    switch (tone) {
    case TeamButtonPresentation::Tone::connected:
        return SystemColors::green();
    case TeamButtonPresentation::Tone::connecting:
        return SystemColors::orange();
    case TeamButtonPresentation::Tone::failed:
        return SystemColors::red();
    case TeamButtonPresentation::Tone::off:
        return secondaryLabelColor(palette);
    case TeamButtonPresentation::Tone::invitation:
        break;
    }
    return SystemColors::accent(palette);
}

} // namespace

BrowserHeader::BrowserHeader(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("header"));
    auto *rows = new QVBoxLayout(this);
    rows->setContentsMargins(16, 10, 16, 9);
    rows->setSpacing(7);

    buildTitleRow(rows);

    m_searchField = new QLineEdit(this);
    m_searchField->setObjectName(QStringLiteral("searchField"));
    m_searchField->setPlaceholderText(
        QStringLiteral("Filter projects, chats, paths, branches, or IDs"));
    m_searchField->setAccessibleName(QStringLiteral("Filter projects"));
    m_searchField->setAccessibleDescription(m_searchField->placeholderText());
    m_searchField->setClearButtonEnabled(true);
    connect(m_searchField, &QLineEdit::textEdited, this, &BrowserHeader::searchEdited);
    rows->addWidget(m_searchField);

    m_usageStrip = new TokenUsageStrip(this);
    rows->addWidget(m_usageStrip);

    buildControlsRow(rows);
    connect(m_usageStrip, &TokenUsageStrip::heightChanged, this, &BrowserHeader::updateHeight);
    FontScale::follow(this, [this] { updateHeight(); });
}

void BrowserHeader::updateHeight()
{
    // The design's height holds one row of usage figures; each further row adds its height.
    const int furtherRows =
        m_usageStrip->minimumHeight() - FontScale::scaled(TokenUsageStrip::stripHeight);
    setFixedHeight(FontScale::scaled(headerHeight) + std::max(0, furtherRows));
}

void BrowserHeader::buildTitleRow(QVBoxLayout *rows)
{
    QLabel *title = label(this, QStringLiteral("titleLabel"), systemFont(22, QFont::DemiBold));
    title->setText(QStringLiteral("Tolvaran"));
    title->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Preferred);
    m_versionLabel = label(this, QStringLiteral("versionLabel"), systemFont(10),
                           tertiaryLabelColor(palette()));
    m_versionLabel->setText(AppBrand::version());
    m_refreshButton = symbolButton(this, QStringLiteral("refreshButton"),
                                   QStringLiteral("arrow.clockwise"),
                                   QStringLiteral("Refresh projects and check for updates"));
    m_refreshButton->setHandler([this] { Q_EMIT refreshRequested(); });
    m_teamButton = symbolButton(this, QStringLiteral("teamButton"), QStringLiteral("person.2"),
                                QStringLiteral("Team activity"));
    systemFont(11, QFont::Medium).apply(m_teamButton);
    m_teamButton->setHandler([this] { Q_EMIT teamsRequested(); });
    m_teamButton->hide(); // until it is given something to do
    m_titleRow = new QHBoxLayout;
    m_titleRow->setSpacing(8);
    m_titleRow->addWidget(title, 0, Qt::AlignVCenter);
    m_titleRow->addWidget(m_versionLabel, 0, Qt::AlignVCenter);
    m_titleRow->addStretch(1);
    m_titleRow->addWidget(m_teamButton, 0, Qt::AlignVCenter);
    m_titleRow->addWidget(m_refreshButton, 0, Qt::AlignVCenter);
    rows->addLayout(m_titleRow);
}

void BrowserHeader::buildControlsRow(QVBoxLayout *rows)
{
    m_sidebarToggle = symbolButton(this, QStringLiteral("sidebarToggle"),
                                   QStringLiteral("sidebar.left"),
                                   QStringLiteral("Show or hide tags"));
    m_sidebarToggle->setHandler([this] { Q_EMIT sidebarToggleRequested(); });
    ClosureButton *addButton = symbolButton(this, QStringLiteral("addButton"),
                                            QStringLiteral("plus"),
                                            QStringLiteral("Create a new Codex project"));
    addButton->setHandler([this] { Q_EMIT newProjectRequested(); });

    QStringList scopes;
    for (const ProjectScopeFilter scope : allProjectScopeFilters)
        scopes.append(rawValue(scope));
    const auto chooseScope = [this](int index) {
        if (index >= 0 && index < int(allProjectScopeFilters.size()))
            Q_EMIT scopeChosen(allProjectScopeFilters[std::size_t(index)]);
    };
    m_scopeControl = new SegmentedControl(scopes, this);
    m_scopeControl->setObjectName(QStringLiteral("scopeControl"));
    FontScale::follow(m_scopeControl, [control = m_scopeControl] {
        control->setMinimumWidth(FontScale::scaled(scopeControlMinimumWidth));
    });
    connect(m_scopeControl, &SegmentedControl::segmentSelected, this, chooseScope);
    m_scopeButton = popUpButton(this, QStringLiteral("scopeButton"), scopes);
    m_scopeButton->setToolTip(QStringLiteral("Project view filter"));
    connect(m_scopeButton, &QComboBox::activated, this, chooseScope);

    QStringList sorts;
    for (const ProjectSortMode mode : allProjectSortModes)
        sorts.append(rawValue(mode));
    m_sortButton = popUpButton(this, QStringLiteral("sortButton"), sorts);
    m_sortButton->setToolTip(QStringLiteral("Project sort order"));
    connect(m_sortButton, &QComboBox::activated, this, [this](int index) {
        if (index >= 0 && index < int(allProjectSortModes.size()))
            Q_EMIT sortChosen(allProjectSortModes[std::size_t(index)]);
    });

    m_teamFilterButton = new QComboBox(this);
    m_teamFilterButton->setObjectName(QStringLiteral("teamFilterButton"));
    m_teamFilterButton->setToolTip(QStringLiteral("Filter projects by team"));
    FontScale::follow(m_teamFilterButton, [button = m_teamFilterButton] {
        button->setMaximumWidth(FontScale::scaled(teamFilterMaximumWidth));
    });
    m_teamFilterButton->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_teamFilterButton->setMinimumContentsLength(8);
    m_teamFilterButton->hide(); // shown while teams are enabled
    connect(m_teamFilterButton, &QComboBox::activated, this, [this](int index) {
        const QVariant id = m_teamFilterButton->itemData(index);
        if (id.typeId() == QMetaType::QString)
            Q_EMIT teamFilterChosen(id.toString());
    });

    m_archivedButton = new QCheckBox(QStringLiteral("Archived"), this);
    m_archivedButton->setObjectName(QStringLiteral("archivedButton"));
    connect(m_archivedButton, &QCheckBox::clicked, this, &BrowserHeader::includeArchivedChosen);
    m_optionsButton = symbolButton(this, QStringLiteral("optionsButton"),
                                   QStringLiteral("ellipsis.circle"),
                                   QStringLiteral("More browser options"));
    m_optionsButton->setHandler([this] { Q_EMIT optionsMenuRequested(); });
    m_countLabel = label(this, QStringLiteral("countLabel"), systemFont(11),
                         secondaryLabelColor(palette()));

    auto *controls = new QHBoxLayout;
    controls->setSpacing(8);
    for (QWidget *control : std::initializer_list<QWidget *>{
             m_sidebarToggle, addButton, m_scopeControl, m_scopeButton, m_teamFilterButton,
             m_sortButton, m_archivedButton, m_optionsButton}) {
        controls->addWidget(control, 0, Qt::AlignVCenter);
    }
    controls->addStretch(1);
    controls->addWidget(m_countLabel, 0, Qt::AlignVCenter);
    rows->addLayout(controls);
}

void BrowserHeader::setUpdater(AppUpdateService *updater)
{
    delete m_updateControl;
    m_updateControl = nullptr;
    m_versionLabel->show();
    if (!updater)
        return;
    // It follows the updater by itself.
    m_updateControl = new UpdateControl(*updater, m_versionLabel, this);
    m_titleRow->insertWidget(m_titleRow->indexOf(m_teamButton), m_updateControl, 0,
                             Qt::AlignVCenter);
    m_updateControl->setCompact(m_compactUpdateLabel);
}

void BrowserHeader::setCounts(qint64 projects, qint64 chats)
{
    m_countLabel->setText(QString::number(projects) + QStringLiteral(" projects  |  ")
                          + QString::number(chats) + QStringLiteral(" chats"));
}

void BrowserHeader::setCriteria(const QString &searchText, ProjectScopeFilter scope,
                                ProjectSortMode sort, bool includeArchived)
{
    if (!m_searchField->hasFocus() && m_searchField->text() != searchText)
        m_searchField->setText(searchText);
    const int scopeIndex = choiceIndex(allProjectScopeFilters, scope);
    m_scopeControl->setSelectedSegment(scopeIndex);
    m_scopeButton->setCurrentIndex(scopeIndex);
    m_sortButton->setCurrentIndex(choiceIndex(allProjectSortModes, sort));
    m_archivedButton->setChecked(includeArchived);
}

void BrowserHeader::setTeamFilter(const QList<TeamWorkspaceTeam> &enabledTeams,
                                  const QString &chosenID)
{
    // Nothing of teams while none is enabled. The coordinator keeps no filter the user could
    // no longer see or change.
    m_teamFilterButton->setVisible(!enabledTeams.isEmpty());

    const QList<TeamFilterOption> options = TeamFilterOption::options(enabledTeams);
    QStringList shownIDs;
    for (int i = 0; i < m_teamFilterButton->count(); ++i)
        shownIDs.append(m_teamFilterButton->itemData(i).toString());
    QStringList optionIDs;
    for (const TeamFilterOption &option : options)
        optionIDs.append(option.id);
    // Rebuilt only when the ids change: a team renamed alone keeps its old title until then.
    if (shownIDs != optionIDs) {
        m_teamFilterButton->clear();
        for (const TeamFilterOption &option : options)
            m_teamFilterButton->addItem(option.title, option.id);
    }
    const qsizetype chosen = optionIDs.indexOf(chosenID);
    m_teamFilterButton->setCurrentIndex(int(std::max<qsizetype>(chosen, 0)));
}

void BrowserHeader::setTeamButton(const std::optional<TeamButtonPresentation> &presentation)
{
    m_teamButton->setVisible(presentation.has_value());
    if (!presentation)
        return;
    const QColor color = teamToneColor(presentation->tone, m_teamButton->palette());
    m_teamButton->setText(presentation->title);
    m_teamButton->setIcon(tintedSymbolIcon(presentation->symbolName, color));
    m_teamButton->setToolButtonStyle(presentation->imageOnly ? Qt::ToolButtonIconOnly
                                                             : Qt::ToolButtonTextBesideIcon);
    // Read as what it shows: the teams' activity, or the invitation to add or join one; the
    // description adds the connection the tooltip names.
    m_teamButton->setAccessibleName(presentation->accessibleDescription);
    m_teamButton->setAccessibleDescription(
        presentation->toolTip == presentation->accessibleDescription ? QString()
                                                                     : presentation->toolTip);
    setPlainToolTip(m_teamButton, presentation->toolTip);
    QPalette palette = m_teamButton->palette();
    palette.setColor(QPalette::ButtonText, color);
    m_teamButton->setPalette(palette);
}

void BrowserHeader::setRefreshEnabled(bool enabled)
{
    m_refreshButton->setEnabled(enabled);
}

void BrowserHeader::fit(const Fit &fit)
{
    m_scopeControl->setHidden(!fit.scopeSegments);
    m_scopeButton->setHidden(fit.scopeSegments);
    m_countLabel->setHidden(!fit.scopeSegments);
    m_usageStrip->setSparklineShown(fit.sparkline);
    m_usageStrip->setTotalShown(fit.usageTotal);
    m_archivedButton->setHidden(!fit.sortControls);
    m_sortButton->setHidden(!fit.sortControls);
    m_optionsButton->setHidden(fit.sortControls);
    const bool compactUpdateLabel = !fit.fullUpdateLabel;
    if (compactUpdateLabel != m_compactUpdateLabel) {
        m_compactUpdateLabel = compactUpdateLabel;
        if (m_updateControl)
            m_updateControl->setCompact(compactUpdateLabel);
    }
}

void BrowserHeader::showOptionsMenu(bool includeArchived, ProjectSortMode sortMode)
{
    auto *menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction *archived = menu->addAction(QStringLiteral("Include Archived Chats"));
    archived->setCheckable(true);
    archived->setChecked(includeArchived);
    connect(archived, &QAction::triggered, this, &BrowserHeader::includeArchivedChosen);
    menu->addSeparator();
    for (const ProjectSortMode mode : allProjectSortModes) {
        QAction *item = menu->addAction(QStringLiteral("Sort by ") + rawValue(mode));
        item->setCheckable(true);
        item->setChecked(mode == sortMode);
        connect(item, &QAction::triggered, this, [this, mode] { Q_EMIT sortChosen(mode); });
    }
    menu->popup(m_optionsButton->mapToGlobal(QPoint(0, m_optionsButton->height())));
}

} // namespace tolvaran
