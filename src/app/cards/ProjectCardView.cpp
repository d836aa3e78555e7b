#include "app/cards/ProjectCardView.h"

#include "app/cards/RecentChatMenuFactory.h"
#include "detail/sections/TeamActivitySection.h"
#include "platform/RelativeDateFormatter.h"
#include "widgets/BrowserStyle.h"
#include "widgets/ClosureButton.h"
#include "widgets/ElidingLabel.h"
#include "widgets/FontScale.h"
#include "widgets/PlainText.h"
#include "widgets/RenamePrompt.h"
#include "widgets/SymbolIconTable.h"
#include "widgets/SystemColors.h"
#include "widgets/WrappingRowLayout.h"

#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QSet>
#include <QToolButton>
#include <QVBoxLayout>

namespace tolvaran {

namespace {

constexpr int sideMargin = 13;
constexpr int verticalMargin = 12;
constexpr int workColumnHeight = 39;
constexpr int statusStripHeight = 22;
constexpr int lastChatSegmentWidth = 108;
constexpr int recentChatsSegmentWidth = 26;
constexpr int renameFieldWidth = 300;

using BrowserStyle::monospacedFont;
using BrowserStyle::secondaryLabelColor;
using BrowserStyle::setTextColor;
using BrowserStyle::systemFont;
using BrowserStyle::tertiaryLabelColor;

ClosureButton *symbolButton(const QString &symbol, const QString &help, const QString &name,
                            QWidget *parent)
{
    ClosureButton *button = ClosureButton::symbol(symbol, help, parent);
    button->setObjectName(name);
    return button;
}

ElidingLabel *label(Qt::TextElideMode mode, const ScaledFont &font, const QString &name,
                    QWidget *parent)
{
    auto *result = new ElidingLabel(parent);
    result->setElideMode(mode);
    result->setObjectName(name);
    font.apply(result);
    return result;
}

// Text colour of a label or a borderless button.
void setForeground(QWidget *widget, const QColor &color)
{
    setTextColor(widget, color);
    QPalette palette = widget->palette();
    palette.setColor(QPalette::ButtonText, color);
    widget->setPalette(palette);
}

QLabel *statusLabel(const QString &name, const QString &text, const ScaledFont &font,
                    const QColor &color)
{
    auto *result = new QLabel;
    result->setObjectName(name);
    result->setTextFormat(Qt::PlainText);
    result->setText(text);
    font.apply(result);
    result->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setForeground(result, color);
    return result;
}

// A borderless button of the status strip: its count and an icon in one colour.
ClosureButton *statusChip(const QString &name, ClosureButton::Handler handler, QWidget *strip)
{
    auto *chip = new ClosureButton(strip);
    chip->setHandler(std::move(handler));
    chip->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    chip->setObjectName(name);
    chip->setAutoRaise(true);
    chip->setIconSize(QSize(12, 12));
    systemFont(11, QFont::Medium).apply(chip);
    chip->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    chip->hide();
    return chip;
}

void showChip(ClosureButton *chip, const QString &text, const QString &symbol,
              const QColor &color)
{
    chip->setText(text);
    chip->setIcon(tintedSymbolIcon(symbol, color));
    setForeground(chip, color);
}

// A share of the weekly allowance as the user's locale writes a percentage, with zero to two
// fraction digits.
QString formatPercent(double fraction)
{
    const QLocale locale;
    QString text = locale.toString(fraction * 100.0, 'f', 2);
    const QString decimalPoint = locale.decimalPoint();
    if (text.contains(decimalPoint)) {
        while (text.endsWith(locale.zeroDigit()))
            text.chop(locale.zeroDigit().size());
        if (text.endsWith(decimalPoint))
            text.chop(decimalPoint.size());
    }
    return text + locale.percent();
}

QString overlapText(const TeamProjectSummary &summary)
{
    switch (summary.conflictLevel()) {
    case TeamConflictLevel::awareness:
        return summary.peerNames();
    case TeamConflictLevel::caution:
        return QStringLiteral("Caution");
    case TeamConflictLevel::high:
        return QStringLiteral("High overlap");
    case TeamConflictLevel::critical:
        return QStringLiteral("Critical overlap");
    }
    return QString();
}

QHBoxLayout *row(int spacing, std::initializer_list<QWidget *> widgets,
                 Qt::Alignment alignment = Qt::AlignVCenter)
{
    auto *layout = new QHBoxLayout;
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    for (QWidget *widget : widgets) {
        if (widget)
            layout->addWidget(widget, 0, alignment);
        else
            layout->addStretch(1); // the empty view that pushes the rest to the far edge
    }
    return layout;
}

} // namespace

ProjectCardView::ProjectCardView(QWidget *parent)
    : QWidget(parent)
    , m_nameLabel(label(Qt::ElideRight, systemFont(16, QFont::DemiBold),
                        QStringLiteral("nameLabel"), this))
    , m_renameButton(symbolButton(QStringLiteral("pencil"),
                                  QStringLiteral("Rename project in Tolvaran and Codex"),
                                  QStringLiteral("renameButton"), this))
    , m_pathLabel(label(Qt::ElideMiddle, systemFont(10), QStringLiteral("pathLabel"), this))
    , m_tagButton(symbolButton(QStringLiteral("tag"), QStringLiteral("Assign tags"),
                               QStringLiteral("tagButton"), this))
    , m_detailsButton(new QPushButton(symbolIcon(QStringLiteral("arrow.up.right.square")),
                                      QStringLiteral("Details"), this))
    , m_pinButton(symbolButton(QStringLiteral("star"), QStringLiteral("Pin project"),
                               QStringLiteral("pinButton"), this))
    , m_statusStack(new QWidget(this))
    , m_statusLayout(new WrappingRowLayout(m_statusStack))
    , m_unreadChip(statusChip(QStringLiteral("unreadChip"),
                              actionHandler(&ProjectCardActions::openUnread), m_statusStack))
    , m_processingChip(statusChip(QStringLiteral("processingChip"),
                                  actionHandler(&ProjectCardActions::openProcessing),
                                  m_statusStack))
    , m_metricsLabel(label(Qt::ElideRight, systemFont(11), QStringLiteral("metricsLabel"), this))
    , m_workLabel(label(Qt::ElideRight, systemFont(11, QFont::Medium), QStringLiteral("workLabel"),
                        this))
    , m_filesLabel(label(Qt::ElideMiddle, monospacedFont(9), QStringLiteral("filesLabel"), this))
    , m_lastChatControl(new QWidget(this))
    , m_lastChatSegment(new ClosureButton(m_lastChatControl))
    , m_recentChatsSegment(new ClosureButton(m_lastChatControl))
    , m_finderButton(symbolButton(QStringLiteral("folder"),
                                  QStringLiteral("Reveal project in file manager"),
                                  QStringLiteral("finderButton"), this))
    , m_terminalButton(symbolButton(QStringLiteral("terminal"),
                                    QStringLiteral("Open Terminal at project"),
                                    QStringLiteral("terminalButton"), this))
{
    m_detailsButton->setObjectName(QStringLiteral("detailsButton"));
    m_statusStack->setObjectName(QStringLiteral("statusStack"));
    m_lastChatControl->setObjectName(QStringLiteral("lastChatControl"));
    m_lastChatSegment->setObjectName(QStringLiteral("lastChatSegment"));
    m_recentChatsSegment->setObjectName(QStringLiteral("recentChatsSegment"));
    setAttribute(Qt::WA_StyledBackground, false);
    build();
}

void ProjectCardView::build()
{
    const QPalette &colors = palette();
    setTextColor(m_pathLabel, secondaryLabelColor(colors));
    setTextColor(m_metricsLabel, secondaryLabelColor(colors));
    setTextColor(m_filesLabel, tertiaryLabelColor(colors));
    m_metricsLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    // The name hugs its text so the rename button follows it, and gives way when it is long.
    m_nameLabel->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    m_pathLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    m_workLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    m_filesLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);

    m_renameButton->setFixedSize(20, 20);
    m_renameButton->setIconSize(QSize(14, 14));
    m_tagButton->setFixedSize(24, 24);
    m_pinButton->setFixedSize(24, 24);
    for (ClosureButton *button : {m_finderButton, m_terminalButton}) {
        button->setAutoRaise(false); // bordered, unlike the symbol buttons of the header
        button->setFixedSize(28, 24);
    }
    systemFont(11).apply(m_detailsButton);
    m_detailsButton->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);

    m_lastChatSegment->setText(QStringLiteral("Last Chat"));
    m_lastChatSegment->setIcon(
        symbolIcon(QStringLiteral("bubble.left.and.text.bubble.right")));
    m_lastChatSegment->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    systemFont(11).apply(m_lastChatSegment);
    m_recentChatsSegment->setIcon(symbolIcon(QStringLiteral("chevron.down")));
    m_recentChatsSegment->setAccessibleName(QStringLiteral("Show recent chats"));
    auto *segments = new QHBoxLayout(m_lastChatControl);
    segments->setContentsMargins(0, 0, 0, 0);
    segments->setSpacing(0);
    segments->addWidget(m_lastChatSegment);
    segments->addWidget(m_recentChatsSegment);
    m_lastChatControl->setToolTip(QStringLiteral("Open the latest chat or choose a recent chat"));
    m_lastChatControl->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    FontScale::follow(m_lastChatControl, [this] {
        m_lastChatSegment->setFixedWidth(FontScale::scaled(lastChatSegmentWidth));
        m_recentChatsSegment->setFixedWidth(FontScale::scaled(recentChatsSegmentWidth));
        // Measured afresh: a fixed height is its own size hint.
        for (ClosureButton *segment : {m_lastChatSegment, m_recentChatsSegment}) {
            segment->setMinimumHeight(0);
            segment->setMaximumHeight(QWIDGETSIZE_MAX);
        }
        const int segmentHeight = std::max(m_lastChatSegment->sizeHint().height(),
                                           m_recentChatsSegment->sizeHint().height());
        m_lastChatSegment->setFixedHeight(segmentHeight);
        m_recentChatsSegment->setFixedHeight(segmentHeight);
    });

    // One height whatever the strip holds, so the lines below it align from card to card.
    m_statusLayout->setHorizontalSpacing(6);
    m_statusLayout->setVerticalSpacing(4);
    FontScale::follow(m_statusStack, [this] {
        m_statusLayout->setMinimumLineHeight(FontScale::scaled(statusStripHeight));
    });

    // Title column beside the tag and pin buttons.
    auto *titleColumn = new QVBoxLayout;
    titleColumn->setContentsMargins(0, 0, 0, 0);
    titleColumn->setSpacing(2);
    titleColumn->addLayout(row(4, {m_nameLabel, m_renameButton, nullptr}));
    titleColumn->addWidget(m_pathLabel);
    auto *header = new QHBoxLayout;
    header->setContentsMargins(0, 0, 0, 0);
    header->setSpacing(6);
    header->addLayout(titleColumn, 1);
    header->addLayout(row(4, {m_tagButton, m_pinButton}, Qt::AlignTop), 0);
    header->setAlignment(Qt::AlignTop);

    auto *metrics = row(6, {m_metricsLabel, m_finderButton, m_terminalButton});
    metrics->setStretch(0, 1);

    auto *work = new QWidget(this);
    work->setObjectName(QStringLiteral("workColumn"));
    FontScale::follow(work, [work] { work->setFixedHeight(FontScale::scaled(workColumnHeight)); });
    auto *workLayout = new QVBoxLayout(work);
    workLayout->setContentsMargins(0, 0, 0, 0);
    workLayout->setSpacing(3);
    workLayout->addWidget(m_workLabel);
    workLayout->addWidget(m_filesLabel);
    workLayout->addStretch(1);

    auto *upper = new QVBoxLayout;
    upper->setSpacing(9);
    upper->addLayout(header);
    upper->addWidget(m_statusStack);
    upper->addLayout(metrics);
    upper->addWidget(work);

    auto *separator = new QFrame(this);
    separator->setFrameShape(QFrame::HLine);
    separator->setFrameShadow(QFrame::Plain);
    setTextColor(separator, SystemColors::separator(colors));
    auto *lower = new QVBoxLayout;
    lower->setSpacing(8);
    lower->addWidget(separator);
    lower->addLayout(row(6, {m_lastChatControl, nullptr, m_detailsButton}));

    auto *blocks = new QVBoxLayout(this);
    blocks->setContentsMargins(sideMargin, verticalMargin, sideMargin, verticalMargin);
    blocks->setSpacing(8);
    blocks->addLayout(upper);
    blocks->addStretch(1);
    blocks->addLayout(lower);

    connect(m_detailsButton, &QPushButton::clicked, this,
            [this] { call(&ProjectCardActions::openDetails); });
    m_renameButton->setHandler(
        weakly([](ProjectCardView &card) { card.promptToRenameProject(); }));
    m_tagButton->setHandler(weakly([](ProjectCardView &card) { card.showTagMenu(); }));
    m_pinButton->setHandler(actionHandler(&ProjectCardActions::togglePin));
    m_finderButton->setHandler(actionHandler(&ProjectCardActions::finder));
    m_terminalButton->setHandler(actionHandler(&ProjectCardActions::terminal));
    m_lastChatSegment->setHandler(
        weakly([](ProjectCardView &card) { card.lastChatSegmentChanged(0); }));
    m_recentChatsSegment->setHandler(
        weakly([](ProjectCardView &card) { card.lastChatSegmentChanged(1); }));

    m_frame = {SystemColors::controlBackground(colors), SystemColors::separator(colors), 0.5};
}

void ProjectCardView::configure(const BrowserCardModel &model, const ProjectCardActions &actions)
{
    m_model = model;
    m_actions = actions;
    const QPalette &colors = palette();
    const ProjectCardSnapshot &project = model.project;

    m_nameLabel->setText(project.name);
    m_nameLabel->setToolTip(QStringLiteral("Open project details"));
    m_pathLabel->setText(project.path);
    setPlainToolTip(m_pathLabel, project.path);

    if (!model.assignedTags.isEmpty()) {
        QStringList names;
        for (const ProjectTag &tag : model.assignedTags)
            names.append(tag.name);
        m_tagButton->setIcon(
            tintedSymbolIcon(QStringLiteral("tag.fill"), SystemColors::accent(colors)));
        setPlainToolTip(m_tagButton, QStringLiteral("Tags: ") + names.join(QStringLiteral(", ")));
    } else {
        m_tagButton->setIcon(
            tintedSymbolIcon(QStringLiteral("tag"), secondaryLabelColor(colors)));
        setPlainToolTip(m_tagButton, QStringLiteral("Assign tags"));
    }
    if (project.isPinned) {
        m_pinButton->setIcon(
            tintedSymbolIcon(QStringLiteral("star.fill"), SystemColors::accent(colors)));
        m_pinButton->setToolTip(QStringLiteral("Unpin project"));
    } else {
        m_pinButton->setIcon(
            tintedSymbolIcon(QStringLiteral("star"), secondaryLabelColor(colors)));
        m_pinButton->setToolTip(QStringLiteral("Pin project"));
    }
    m_recentChatsSegment->setEnabled(true);

    refreshRelativeTimes();

    rebuildStatus(model);
    configureWork(model);
    configureAppearance(model);
    nameControls(model);
    update();
}

void ProjectCardView::nameControls(const BrowserCardModel &model)
{
    const ProjectCardSnapshot &project = model.project;
    const QString &name = project.name;
    setAccessibleName(name);
    setAccessibleDescription(project.path);
    m_renameButton->setAccessibleName(QStringLiteral("Rename ") + name
                                      + QStringLiteral(" in Tolvaran and Codex"));
    QStringList tags;
    for (const ProjectTag &tag : model.assignedTags)
        tags.append(tag.name);
    m_tagButton->setAccessibleName(
        tags.isEmpty() ? QString(QStringLiteral("Assign tags to ") + name)
                       : QString(QStringLiteral("Tags of ") + name + QStringLiteral(": ")
                                 + tags.join(QStringLiteral(", "))));
    m_pinButton->setAccessibleName((project.isPinned ? QStringLiteral("Unpin ")
                                                     : QStringLiteral("Pin "))
                                   + name);
    m_pinButton->setAccessibleDescription(project.isPinned ? QStringLiteral("Pinned")
                                                           : QStringLiteral("Not pinned"));
    m_finderButton->setAccessibleName(QStringLiteral("Reveal ") + name
                                      + QStringLiteral(" in file manager"));
    m_terminalButton->setAccessibleName(QStringLiteral("Open Terminal at ") + name);
    m_lastChatSegment->setAccessibleName(QStringLiteral("Last Chat for ") + name);
    m_recentChatsSegment->setAccessibleName(QStringLiteral("Show recent chats for ") + name);
    m_detailsButton->setAccessibleName(QStringLiteral("Details for ") + name);
    for (auto *chip : m_statusStack->findChildren<ClosureButton *>()) {
        if (chip->isVisibleTo(m_statusStack))
            chip->setAccessibleName(chip->text() + QStringLiteral(" in ") + name);
    }
}

void ProjectCardView::rebuildStatus(const BrowserCardModel &model)
{
    // Emptied first, so nothing of the project this card showed before survives. The chips,
    // which take the focus, are the card's own and stay: one holding the focus keeps it
    // through a refresh (the processing count of a working chat), and Tab goes on from it.
    // The labels are deleted in a later turn, outside any event they take part in.
    while (QLayoutItem *item = m_statusLayout->takeAt(0)) {
        QWidget *widget = item->widget();
        if (widget && widget != m_unreadChip && widget != m_processingChip) {
            widget->hide();
            widget->deleteLater();
        }
        delete item;
    }

    const QPalette &colors = palette();
    const ProjectCardSnapshot &project = model.project;
    // Counted here: the layout calls views that are not shown yet empty.
    int added = 0;
    const auto add = [this, &added](QWidget *widget) {
        m_statusLayout->addWidget(widget);
        // Shown now rather than in a later turn, so that the card measures its lines at once.
        widget->show();
        ++added;
    };

    if (project.notificationCount >= 1) {
        showChip(m_unreadChip,
                 QString::number(project.notificationCount) + QStringLiteral(" unread"),
                 QStringLiteral("bell.fill"), SystemColors::red());
        add(m_unreadChip);
    }
    for (const QString &team : model.teamNames.mid(0, shownTeamNameLimit)) {
        QLabel *name = statusLabel(QStringLiteral("teamNameLabel"), team,
                                   systemFont(10, QFont::DemiBold), SystemColors::accent(colors));
        setPlainToolTip(name, QStringLiteral("Shared through ") + team);
        add(name);
    }
    if (project.processingCount >= 1) {
        showChip(m_processingChip,
                 QString::number(project.processingCount) + QStringLiteral(" processing"),
                 QStringLiteral("gearshape.2.fill"), SystemColors::accent(colors));
        add(m_processingChip);
    }
    if (model.weeklyTokens >= 1) {
        const QString share = formatPercent(model.weeklyShare);
        const QColor color = model.weeklyShare >= weeklyShareAlarm     ? SystemColors::red()
                             : model.weeklyShare >= weeklyShareWarning ? SystemColors::orange()
                                                                       : SystemColors::purple();
        QLabel *badge =
            statusLabel(QStringLiteral("weeklyBadge"), QStringLiteral("Week  ") + share,
                        systemFont(10, QFont::DemiBold), color);
        const QColor fill = SystemColors::withAlpha(color, 0.11);
        badge->setStyleSheet(QStringLiteral("QLabel { color: %1; background-color: rgba(%2, %3, "
                                            "%4, %5); border-radius: 4px; padding: 1px 4px; }")
                                 .arg(color.name())
                                 .arg(fill.red())
                                 .arg(fill.green())
                                 .arg(fill.blue())
                                 .arg(fill.alpha()));
        badge->setToolTip(QStringLiteral("Estimated ") + share
                          + QStringLiteral(" of your Codex weekly limit from this project"));
        add(badge);
    }
    if (model.teamSummary) {
        const TeamConflictLevel level = model.teamSummary->conflictLevel();
        QLabel *overlap = statusLabel(QStringLiteral("teamOverlapLabel"),
                                      overlapText(*model.teamSummary),
                                      systemFont(10, QFont::DemiBold),
                                      TeamActivitySection::levelColor(level));
        setPlainToolTip(overlap,
                        QStringLiteral("Team activity from ") + model.teamSummary->peerNames());
        add(overlap);
    }
    if (model.gitStatus && model.gitStatus->behindCount >= 1) {
        const QString count = QString::number(model.gitStatus->behindCount);
        QLabel *behind = statusLabel(QStringLiteral("behindLabel"),
                                     QStringLiteral("!  Behind ") + count,
                                     systemFont(11, QFont::Bold), SystemColors::red());
        if (model.gitStatus->upstream)
            setPlainToolTip(behind, QStringLiteral("Behind ") + *model.gitStatus->upstream
                                        + QStringLiteral(" by ") + count);
        add(behind);
    } else if (project.displayBranch) {
        add(statusLabel(QStringLiteral("branchLabel"), *project.displayBranch, monospacedFont(10),
                        secondaryLabelColor(colors)));
    }
    if (added == 0) {
        add(statusLabel(QStringLiteral("readyLabel"), QStringLiteral("Ready"), systemFont(10),
                        tertiaryLabelColor(colors)));
    }
    // A chip that goes hands the focus it holds to the control after it, before it is hidden:
    // hidden with the focus, it would send the focus wherever the window's chain goes next.
    const auto shows = [this](QWidget *chip) { return m_statusLayout->indexOf(chip) >= 0; };
    for (ClosureButton *chip : {m_unreadChip, m_processingChip}) {
        if (shows(chip))
            continue;
        if (window()->focusWidget() == chip) {
            const bool toProcessing = chip == m_unreadChip && shows(m_processingChip);
            (toProcessing ? static_cast<QWidget *>(m_processingChip) : m_finderButton)
                ->setFocus(Qt::OtherFocusReason);
        }
        chip->hide();
    }
}

int ProjectCardView::requiredHeight(int width) const
{
    // The least height of the card's rows, and what the status items need beyond one line.
    const int stripWidth = width - 2 * sideMargin;
    const int extraLines =
        m_statusLayout->heightForWidth(stripWidth) - m_statusLayout->minimumSize().height();
    return layout()->totalMinimumSize().height() + std::max(0, extraLines);
}

void ProjectCardView::refreshRelativeTimes()
{
    if (!m_model)
        return;
    const ProjectCardSnapshot &project = m_model->project;
    QString metrics = QString::number(project.threadCount) + QStringLiteral(" chats  |  ")
                      + relativeDateText(project.lastUpdated, Timestamp::now());
    if (project.isPinned)
        metrics += QStringLiteral("  |  Pinned");
    m_metricsLabel->setText(metrics);
}

void ProjectCardView::configureWork(const BrowserCardModel &model)
{
    const QPalette &colors = palette();
    std::optional<TeamProjectPeer> peer;
    if (model.teamSummary)
        peer = model.teamSummary->primaryPeer();

    QString prefix;
    const SharedProjectState *state = nullptr;
    if (peer) {
        prefix = peer->memberName;
        if (!peer->isConnected)
            prefix += QStringLiteral(" (last synced)");
        state = &peer->project;
    } else if (model.localActivity) {
        prefix = QStringLiteral("You share");
        state = &*model.localActivity;
    } else {
        m_workLabel->setText(QStringLiteral("No shared work activity"));
        setTextColor(m_workLabel, tertiaryLabelColor(colors));
        m_filesLabel->setText(QString());
        setPlainToolTip(m_filesLabel, QString());
        return;
    }

    m_workLabel->setText(prefix + QStringLiteral(": ")
                         + state->workSummary.value_or(QStringLiteral("Codex summary pending")));
    // The local line is told apart by where it comes from, not by its text: a teammate whose
    // name begins with "You" is still a teammate.
    setTextColor(m_workLabel, peer ? SystemColors::label(colors) : SystemColors::accent(colors));

    const QStringList &files = state->changedFiles;
    if (files.isEmpty()) {
        m_filesLabel->setText(QStringLiteral("No changed files yet"));
    } else {
        QString text = files.mid(0, shownChangedFileLimit).join(QStringLiteral(", "));
        if (files.size() > shownChangedFileLimit)
            text += QStringLiteral("  +") + QString::number(files.size() - shownChangedFileLimit);
        m_filesLabel->setText(text);
    }
    setPlainToolTip(m_filesLabel, files.join(QLatin1Char('\n')));
}

void ProjectCardView::configureAppearance(const BrowserCardModel &model)
{
    const QPalette &colors = palette();
    if (model.gitStatus && model.gitStatus->behindCount >= 1) {
        const QColor red = SystemColors::red();
        m_frame = {SystemColors::withAlpha(red, 0.055), red, 1.2};
        return;
    }
    if (model.teamSummary) {
        const TeamConflictLevel level = model.teamSummary->conflictLevel();
        if (level == TeamConflictLevel::high || level == TeamConflictLevel::critical) {
            const QColor color = level == TeamConflictLevel::high ? SystemColors::orange()
                                                                  : SystemColors::red();
            m_frame = {SystemColors::withAlpha(color, 0.045), color, 1.0};
            return;
        }
    }
    if (model.isSelected)
        m_frame = {SystemColors::controlBackground(colors), SystemColors::accent(colors), 1.2};
    else
        m_frame = {SystemColors::controlBackground(colors), SystemColors::separator(colors), 0.5};
}

ClosureButton::Handler
ProjectCardView::weakly(const std::function<void(ProjectCardView &)> &gesture)
{
    return [card = QPointer(this), gesture] {
        if (card)
            gesture(*card);
    };
}

ClosureButton::Handler
ProjectCardView::actionHandler(std::function<void()> ProjectCardActions::*member)
{
    return weakly([member](ProjectCardView &card) { card.call(member); });
}

void ProjectCardView::call(std::function<void()> ProjectCardActions::*member) const
{
    if (!m_actions)
        return;
    const std::function<void()> action = (*m_actions).*member;
    if (action)
        action();
}

void ProjectCardView::lastChatSegmentChanged(int segment)
{
    if (!m_actions)
        return;
    if (segment == 0) {
        call(&ProjectCardActions::lastChat);
        return;
    }
    if (segment != 1)
        return;
    QMenu *menu = RecentChatMenuFactory::make(m_actions->recentChats, m_actions->newChat,
                                              m_actions->openRecentChat, this);
    menu->setObjectName(QStringLiteral("recentChatMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(m_lastChatControl->mapToGlobal(
        QPoint(m_lastChatSegment->width(), m_lastChatControl->height())));
}

void ProjectCardView::promptToRenameProject()
{
    if (!m_model || !m_actions)
        return;
    RenamePrompt::open(m_renameButton, m_model->project.name, m_model->canRename,
                       renameFieldWidth, m_actions->renameProject);
}

void ProjectCardView::showTagMenu()
{
    if (!m_model || !m_actions)
        return;
    QSet<QUuid> assigned;
    for (const ProjectTag &tag : m_model->assignedTags)
        assigned.insert(tag.id);

    auto *menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("tagMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    // Like the rename prompt, the menu acts on the project it was opened for.
    const std::function<void(const QUuid &)> toggle = m_actions->toggleTag;
    for (const ProjectTag &tag : m_model->availableTags) {
        QAction *item = menu->addAction(plainMenuText(tag.name));
        item->setCheckable(true);
        item->setChecked(assigned.contains(tag.id));
        item->setData(tag.id.toString(QUuid::WithoutBraces));
        connect(item, &QAction::triggered, menu, [item, toggle] {
            const QUuid id = QUuid::fromString(item->data().toString());
            if (!id.isNull() && toggle)
                toggle(id);
        });
    }
    const bool hasTags = !m_model->availableTags.isEmpty();
    if (hasTags)
        menu->addSeparator();
    QAction *manage =
        menu->addAction(hasTags ? QStringLiteral("Manage Tags") : QStringLiteral("Create Tag"));
    connect(manage, &QAction::triggered, menu, [manageTags = m_actions->manageTags] {
        if (manageTags)
            manageTags();
    });
    menu->popup(m_tagButton->mapToGlobal(QPoint(0, m_tagButton->height())));
}

void ProjectCardView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double inset = m_frame.borderWidth / 2.0;
    const QRectF frame = QRectF(rect()).adjusted(inset, inset, -inset, -inset);
    painter.setPen(QPen(m_frame.border, m_frame.borderWidth));
    painter.setBrush(m_frame.background);
    painter.drawRoundedRect(frame, cornerRadius, cornerRadius);
}

} // namespace tolvaran
