// The fixed parts of the browser's view tree, built once by the constructor: the tag
// sidebar's frame, the header, the commit banner, the card area, the pagination bar and the
// footer. What they show is written by the render pass.
#include "app/window/TolvaranViewController.h"

#include "widgets/BrowserStyle.h"
#include "widgets/ClosureButton.h"
#include "widgets/ElidingLabel.h"
#include "widgets/FontScale.h"
#include "app/cards/ProjectCardGrid.h"
#include "app/cards/ProjectCardView.h"
#include "widgets/SegmentedControl.h"
#include "widgets/SymbolIconTable.h"
#include "app/tags/TagSidebar.h"
#include "app/cards/TokenUsageSparklineView.h"
#include "coordinator/ProjectListViewModel.h"
#include "platform/AppBrand.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QVBoxLayout>

namespace tolvaran {

namespace {

using namespace BrowserStyle;

QFrame *horizontalSeparator(QWidget *parent)
{
    auto *line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setFixedHeight(1);
    setTextColor(line, tertiaryLabelColor(line->palette()));
    return line;
}

QLabel *label(QWidget *parent, const QString &name, const ScaledFont &font,
              std::optional<QColor> color = std::nullopt)
{
    auto *field = new QLabel(parent);
    field->setObjectName(name);
    field->setTextFormat(Qt::PlainText);
    font.apply(field);
    if (color)
        setTextColor(field, *color);
    return field;
}

ElidingLabel *elidingLabel(QWidget *parent, const QString &name, const ScaledFont &font,
                           const QColor &color)
{
    auto *field = new ElidingLabel(parent);
    field->setObjectName(name);
    font.apply(field);
    setTextColor(field, color);
    return field;
}

ClosureButton *symbolButton(QWidget *parent, const QString &name, const QString &symbol,
                            const QString &help)
{
    ClosureButton *button = ClosureButton::symbol(symbol, help, parent);
    button->setObjectName(name);
    return button;
}

QComboBox *popUpButton(QWidget *parent, const QString &name, const QStringList &items)
{
    auto *button = new QComboBox(parent);
    button->setObjectName(name);
    button->addItems(items);
    button->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    return button;
}

} // namespace

void TolvaranViewController::buildSidebar()
{
    // Its rows, counts and fields are the TagSidebar's; its requests come back here.
    m_sidebar = new TagSidebar(this);
    connect(m_sidebar, &TagSidebar::hideRequested, this,
            [this] { m_viewModel.setTagSidebarVisible(false); });
    connect(m_sidebar, &TagSidebar::addRequested, this, &TolvaranViewController::addTagFromField);
    connect(m_sidebar, &TagSidebar::allProjectsChosen, this,
            [this] { selectTag(std::nullopt); });
    connect(m_sidebar, &TagSidebar::tagChosen, this,
            [this](const QUuid &tagID) { selectTag(tagID); });
    connect(m_sidebar, &TagSidebar::renameRequested, this,
            &TolvaranViewController::renameTagFromMenu);
    connect(m_sidebar, &TagSidebar::deleteRequested, this,
            &TolvaranViewController::deleteTagFromMenu);
}

void TolvaranViewController::buildHeader(QVBoxLayout *column)
{
    auto *container = new QWidget(this);
    container->setObjectName(QStringLiteral("header"));
    FontScale::follow(container,
                      [container] { container->setFixedHeight(FontScale::scaled(headerHeight)); });
    auto *rows = new QVBoxLayout(container);
    rows->setContentsMargins(16, 10, 16, 9);
    rows->setSpacing(7);

    // 1. Title row.
    m_titleLabel = label(container, QStringLiteral("titleLabel"), systemFont(22, QFont::DemiBold));
    m_titleLabel->setText(QStringLiteral("Tolvaran"));
    m_titleLabel->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Preferred);
    m_versionLabel = label(container, QStringLiteral("versionLabel"), systemFont(10),
                           tertiaryLabelColor(container->palette()));
    m_versionLabel->setText(AppBrand::version());
    m_refreshButton = symbolButton(container, QStringLiteral("refreshButton"),
                                   QStringLiteral("arrow.clockwise"),
                                   QStringLiteral("Refresh projects and check for updates"));
    m_refreshButton->setHandler(weakly(&TolvaranViewController::refreshEverything));
    m_teamButton = symbolButton(container, QStringLiteral("teamButton"),
                                QStringLiteral("person.2"), QStringLiteral("Team activity"));
    systemFont(11, QFont::Medium).apply(m_teamButton);
    m_teamButton->setHandler(weakly(&TolvaranViewController::showTeams));
    m_teamButton->hide(); // until a render finds something for it to do
    auto *titleRow = new QHBoxLayout;
    m_titleRow = titleRow; // the update control joins it (setUpdater)
    titleRow->setSpacing(8);
    titleRow->addWidget(m_titleLabel, 0, Qt::AlignVCenter);
    titleRow->addWidget(m_versionLabel, 0, Qt::AlignVCenter);
    titleRow->addStretch(1);
    titleRow->addWidget(m_teamButton, 0, Qt::AlignVCenter);
    titleRow->addWidget(m_refreshButton, 0, Qt::AlignVCenter);
    rows->addLayout(titleRow);

    // 2. Search.
    m_searchField = new QLineEdit(container);
    m_searchField->setObjectName(QStringLiteral("searchField"));
    m_searchField->setPlaceholderText(
        QStringLiteral("Filter projects, chats, paths, branches, or IDs"));
    m_searchField->setAccessibleName(QStringLiteral("Filter projects"));
    m_searchField->setAccessibleDescription(m_searchField->placeholderText());
    m_searchField->setClearButtonEnabled(true);
    connect(m_searchField, &QLineEdit::textEdited, this,
            [this](const QString &text) { m_viewModel.setSearchText(text); });
    rows->addWidget(m_searchField);

    // 3. Usage strip.
    auto *strip = new QFrame(container);
    strip->setObjectName(QStringLiteral("usageStrip"));
    FontScale::follow(strip,
                      [strip] { strip->setFixedHeight(FontScale::scaled(usageStripHeight)); });
    QColor stripColor = container->palette().color(QPalette::Base);
    stripColor.setAlphaF(0.75f);
    strip->setStyleSheet(
        QStringLiteral("#usageStrip { background-color: %1; border-radius: 6px; }")
            .arg(stripColor.name(QColor::HexArgb)));
    const QColor secondary = secondaryLabelColor(container->palette());
    const ScaledFont usageFont = monospacedDigitFont(10, QFont::Medium);
    const auto usageLabel = [&](const char *name) {
        return elidingLabel(strip, QLatin1String(name), usageFont, secondary);
    };
    m_usageTotalLabel = usageLabel("usageTotalLabel");
    m_usageTodayLabel = usageLabel("usageTodayLabel");
    m_usageHourLabel = usageLabel("usageHourLabel");
    m_usageWeekLabel = usageLabel("usageWeekLabel");
    m_usageSparkline = new TokenUsageSparklineView(strip);
    m_usageSparkline->setObjectName(QStringLiteral("usageSparkline"));
    auto *stripRow = new QHBoxLayout(strip);
    stripRow->setContentsMargins(10, 5, 10, 5);
    stripRow->setSpacing(14);
    stripRow->addWidget(m_usageTotalLabel, 2);
    stripRow->addWidget(m_usageTodayLabel, 2);
    stripRow->addWidget(m_usageHourLabel, 2);
    stripRow->addWidget(m_usageWeekLabel, 5);
    stripRow->addWidget(m_usageSparkline, 0, Qt::AlignVCenter);
    rows->addWidget(strip);

    // 4. Controls row.
    m_sidebarToggle = symbolButton(container, QStringLiteral("sidebarToggle"),
                                   QStringLiteral("sidebar.left"),
                                   QStringLiteral("Show or hide tags"));
    m_sidebarToggle->setHandler(weakly(&TolvaranViewController::toggleTagSidebar));
    m_addButton = symbolButton(container, QStringLiteral("addButton"), QStringLiteral("plus"),
                               QStringLiteral("Create a new Codex project"));
    m_addButton->setHandler(weakly(&TolvaranViewController::createNewProject));

    QStringList scopes;
    for (const ProjectScopeFilter scope : allProjectScopeFilters)
        scopes.append(rawValue(scope));
    m_scopeControl = new SegmentedControl(scopes, container);
    m_scopeControl->setObjectName(QStringLiteral("scopeControl"));
    FontScale::follow(m_scopeControl, [control = m_scopeControl] {
        control->setMinimumWidth(FontScale::scaled(scopeControlMinimumWidth));
    });
    connect(m_scopeControl, &SegmentedControl::segmentSelected, this, [this](int index) {
        if (index >= 0 && index < int(allProjectScopeFilters.size()))
            m_viewModel.setScopeFilter(allProjectScopeFilters[std::size_t(index)]);
    });
    m_scopeButton = popUpButton(container, QStringLiteral("scopeButton"), scopes);
    m_scopeButton->setToolTip(QStringLiteral("Project view filter"));
    connect(m_scopeButton, &QComboBox::activated, this, [this](int index) {
        if (index >= 0 && index < int(allProjectScopeFilters.size()))
            m_viewModel.setScopeFilter(allProjectScopeFilters[std::size_t(index)]);
    });

    QStringList sorts;
    for (const ProjectSortMode mode : allProjectSortModes)
        sorts.append(rawValue(mode));
    m_sortButton = popUpButton(container, QStringLiteral("sortButton"), sorts);
    m_sortButton->setToolTip(QStringLiteral("Project sort order"));
    connect(m_sortButton, &QComboBox::activated, this, [this](int index) {
        if (index >= 0 && index < int(allProjectSortModes.size()))
            m_viewModel.setSortMode(allProjectSortModes[std::size_t(index)]);
    });

    m_teamFilterButton = new QComboBox(container);
    m_teamFilterButton->setObjectName(QStringLiteral("teamFilterButton"));
    m_teamFilterButton->setToolTip(QStringLiteral("Filter projects by team"));
    FontScale::follow(m_teamFilterButton, [button = m_teamFilterButton] {
        button->setMaximumWidth(FontScale::scaled(teamFilterMaximumWidth));
    });
    m_teamFilterButton->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_teamFilterButton->setMinimumContentsLength(8);
    m_teamFilterButton->hide(); // shown by the render while teams are enabled
    connect(m_teamFilterButton, &QComboBox::activated, this,
            &TolvaranViewController::teamFilterChanged);

    m_archivedButton = new QCheckBox(QStringLiteral("Archived"), container);
    m_archivedButton->setObjectName(QStringLiteral("archivedButton"));
    connect(m_archivedButton, &QCheckBox::clicked, this, [this](bool checked) {
        m_viewModel.setIncludeArchived(checked);
        m_viewModel.refresh();
    });
    m_optionsButton = symbolButton(container, QStringLiteral("optionsButton"),
                                   QStringLiteral("ellipsis.circle"),
                                   QStringLiteral("More browser options"));
    m_optionsButton->setHandler(weakly(&TolvaranViewController::showBrowserOptions));
    m_countLabel = label(container, QStringLiteral("countLabel"), systemFont(11),
                         secondaryLabelColor(container->palette()));

    auto *controls = new QHBoxLayout;
    controls->setSpacing(8);
    for (QWidget *control : std::initializer_list<QWidget *>{
             m_sidebarToggle, m_addButton, m_scopeControl, m_scopeButton, m_teamFilterButton,
             m_sortButton, m_archivedButton, m_optionsButton}) {
        controls->addWidget(control, 0, Qt::AlignVCenter);
    }
    controls->addStretch(1);
    controls->addWidget(m_countLabel, 0, Qt::AlignVCenter);
    rows->addLayout(controls);

    column->addWidget(container);
    column->addWidget(horizontalSeparator(this));
}

void TolvaranViewController::buildCommitBanner(QVBoxLayout *column)
{
    // The banner holds its separator, so that the two show and hide together.
    m_commitBanner = new QWidget(this);
    m_commitBanner->setObjectName(QStringLiteral("commitBanner"));
    auto *outer = new QVBoxLayout(m_commitBanner);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    auto *banner = new QWidget(m_commitBanner);
    FontScale::follow(banner,
                      [banner] { banner->setFixedHeight(FontScale::scaled(commitBannerHeight)); });
    setBackgroundColor(banner, QColor(52, 199, 89, qRound(0.08 * 255)));
    m_commitTitle = label(banner, QStringLiteral("commitTitle"), systemFont(12, QFont::DemiBold));
    m_commitSubtitle = elidingLabel(banner, QStringLiteral("commitSubtitle"), systemFont(11),
                                    secondaryLabelColor(palette()));
    auto *texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(m_commitTitle);
    texts->addWidget(m_commitSubtitle);
    auto *icon = new QLabel(banner);
    icon->setPixmap(symbolIcon(QStringLiteral("point.3.connected.trianglepath.dotted"))
                        .pixmap(16, 16));
    m_commitDismissButton = symbolButton(banner, QStringLiteral("commitDismissButton"),
                                         QStringLiteral("xmark"),
                                         QStringLiteral("Dismiss commit notification"));
    m_commitDismissButton->setHandler(
        weakly(&TolvaranViewController::dismissCommitNotification));
    auto *row = new QHBoxLayout(banner);
    row->setContentsMargins(16, 0, 16, 0);
    row->setSpacing(10);
    row->addWidget(icon, 0, Qt::AlignVCenter);
    row->addLayout(texts, 1);
    row->addWidget(m_commitDismissButton, 0, Qt::AlignVCenter);
    outer->addWidget(banner);
    outer->addWidget(horizontalSeparator(m_commitBanner));
    m_commitBanner->hide();
    column->addWidget(m_commitBanner);
}

void TolvaranViewController::buildCollection(QVBoxLayout *column)
{
    m_collectionView = new ProjectCardGrid(this);
    m_collectionView->setObjectName(QStringLiteral("collectionView"));
    setBackgroundColor(m_collectionView->viewport(), underPageBackgroundColor(palette()));
    m_collectionView->viewport()->installEventFilter(this);
    // Cards are configured from the models the last render stored, never from the coordinator
    // directly, so a card always shows what the render decided.
    m_collectionView->setItemProvider([this](ProjectCardView &card, const QString &id) {
        const auto model = m_cardModels.constFind(id);
        if (model == m_cardModels.constEnd())
            return;
        card.configure(*model, actions(model->project));
    });

    m_emptyLabel = label(m_collectionView->viewport(), QStringLiteral("emptyLabel"),
                         systemFont(14, QFont::Medium), secondaryLabelColor(palette()));
    m_emptyLabel->setAlignment(Qt::AlignCenter);
    m_emptyLabel->setWordWrap(true);
    m_emptyLabel->hide();

    column->addWidget(m_collectionView, 1);
}

void TolvaranViewController::buildPagination(QVBoxLayout *column)
{
    column->addWidget(horizontalSeparator(this));
    auto *container = new QWidget(this);
    container->setObjectName(QStringLiteral("paginationBar"));
    FontScale::follow(container, [container] {
        container->setFixedHeight(FontScale::scaled(paginationHeight));
    });
    m_paginationLabel = label(container, QStringLiteral("paginationLabel"), systemFont(11),
                              secondaryLabelColor(palette()));
    m_pageLabel = label(container, QStringLiteral("pageLabel"), monospacedDigitFont(11));
    m_previousButton = symbolButton(container, QStringLiteral("previousButton"),
                                    QStringLiteral("chevron.left"),
                                    QStringLiteral("Previous page"));
    m_previousButton->setHandler(weakly(&TolvaranViewController::showPreviousPage));
    m_nextButton = symbolButton(container, QStringLiteral("nextButton"),
                                QStringLiteral("chevron.right"), QStringLiteral("Next page"));
    m_nextButton->setHandler(weakly(&TolvaranViewController::showNextPage));
    QStringList sizes;
    for (const ProjectPageSize size : allProjectPageSizes)
        sizes.append(QStringLiteral("Show ") + rawValue(size));
    m_pageSizeButton = popUpButton(container, QStringLiteral("pageSizeButton"), sizes);
    connect(m_pageSizeButton, &QComboBox::activated, this, [this](int index) {
        if (index >= 0 && index < int(allProjectPageSizes.size()))
            m_viewModel.setPageSize(allProjectPageSizes[std::size_t(index)]);
    });
    auto *row = new QHBoxLayout(container);
    row->setContentsMargins(16, 0, 16, 0);
    row->setSpacing(8);
    row->addWidget(m_paginationLabel, 0, Qt::AlignVCenter);
    row->addStretch(1);
    row->addWidget(m_previousButton, 0, Qt::AlignVCenter);
    row->addWidget(m_pageLabel, 0, Qt::AlignVCenter);
    row->addWidget(m_nextButton, 0, Qt::AlignVCenter);
    row->addWidget(m_pageSizeButton, 0, Qt::AlignVCenter);
    column->addWidget(container);
}

void TolvaranViewController::buildFooter(QVBoxLayout *column)
{
    column->addWidget(horizontalSeparator(this));
    m_footer = new QWidget(this);
    m_footer->setObjectName(QStringLiteral("footer"));

    m_footerLabel = elidingLabel(m_footer, QStringLiteral("footerLabel"), systemFont(10),
                                 secondaryLabelColor(palette()));
    m_footerLabel->setMaximumLineCount(2);
    m_footerLabel->setToolTipWhenCut(true);
    auto *row = new QHBoxLayout(m_footer);
    row->setContentsMargins(12, 0, 12, 0);
    row->addWidget(m_footerLabel, 1, Qt::AlignVCenter);
    column->addWidget(m_footer);
}

} // namespace tolvaran
