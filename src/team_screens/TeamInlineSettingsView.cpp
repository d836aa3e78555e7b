#include "team_screens/TeamInlineSettingsView.h"

#include "team/presence/TeamPresenceService.h"
#include "team/server/TeamSettingsError.h"
#include "team/server/TeamSettingsStore.h"
#include "team_screens/TeamScreenStyle.h"
#include "team_screens/TeamScreenTeam.h"
#include "widgets/BrowserStyle.h"
#include "widgets/FontScale.h"
#include "widgets/RoundedPanel.h"
#include "widgets/WrappingRowLayout.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace tolvaran {

namespace {

constexpr int rowTitleWidth = 100;
constexpr int keyRowSpacing = 10;

const QString sharingNotice = QStringLiteral(
    "Shared: app version, repository identity, branch, changed file paths, Git counts, commit "
    "titles, token totals, and processing state. Codex chats, prompts, responses, and task "
    "details are never sent.");

} // namespace

using namespace TeamScreenStyle;

TeamInlineSettingsView::TeamInlineSettingsView(TeamScreenTeam &team, QWidget *parent)
    : QWidget(parent)
    , m_team(team)
{
    setObjectName(QStringLiteral("teamInlineSettings"));
    auto *panel = new RoundedPanel(boxCornerRadius, this);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(panel);
    auto *column = new QVBoxLayout(panel);
    column->setContentsMargins(14, 14, 14, 14);
    column->setSpacing(14);
    column->addWidget(headlineTitle(QStringLiteral("Team Settings"),
                                    QStringLiteral("gearshape"), this));

    auto *rows = new QVBoxLayout;
    rows->setSpacing(10);
    const auto addRow = [&](const QString &title, QWidget *content) {
        auto *row = new QHBoxLayout;
        row->setSpacing(14);
        QLabel *label = plainLabel(this, title);
        FontScale::follow(label,
                          [label] { label->setFixedWidth(FontScale::scaled(rowTitleWidth)); });
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        BrowserStyle::setTextColor(label, BrowserStyle::secondaryLabelColor(palette()));
        label->setBuddy(content);
        row->addWidget(label);
        row->addWidget(content, 1);
        rows->addLayout(row);
    };
    m_teamNameField = new QLineEdit(this);
    m_teamNameField->setObjectName(QStringLiteral("teamNameField"));
    m_teamNameField->setPlaceholderText(QStringLiteral("Team name"));
    connect(m_teamNameField, &QLineEdit::textEdited, this,
            [this](const QString &text) { m_team.settings().setTeamName(text); });
    connect(m_teamNameField, &QLineEdit::returnPressed, this, &TeamInlineSettingsView::save);
    addRow(QStringLiteral("Team name"), m_teamNameField);
    m_memberNameField = new QLineEdit(this);
    m_memberNameField->setObjectName(QStringLiteral("memberNameField"));
    m_memberNameField->setPlaceholderText(QStringLiteral("Your name"));
    connect(m_memberNameField, &QLineEdit::textEdited, this,
            [this](const QString &text) { m_team.settings().setMemberName(text); });
    connect(m_memberNameField, &QLineEdit::returnPressed, this, &TeamInlineSettingsView::save);
    addRow(QStringLiteral("Your name"), m_memberNameField);

    auto *key = new QWidget(this);
    // "Copy" goes below the words where the width does not hold both.
    auto *keyRow = new WrappingRowLayout(key);
    keyRow->setHorizontalSpacing(keyRowSpacing);
    keyRow->setVerticalSpacing(keyRowSpacing);
    const QColor secondary = BrowserStyle::secondaryLabelColor(palette());
    keyRow->addWidget(symbolLabel(QStringLiteral("checkmark.circle.fill"), symbolSize, key,
                                  secondary));
    QLabel *connected = plainLabel(key, QStringLiteral("Connected on this computer"));
    BrowserStyle::setTextColor(connected, secondary);
    keyRow->addWidget(connected);
    m_copyButton = button(QStringLiteral("Copy"), key, QStringLiteral("doc.on.doc"));
    m_copyButton->setObjectName(QStringLiteral("copyKeyButton"));
    m_copyButton->setAccessibleName(QStringLiteral("Copy team key"));
    connect(m_copyButton, &QPushButton::clicked, this, &TeamInlineSettingsView::copyTeamKey);
    keyRow->addWidget(m_copyButton);
    addRow(QStringLiteral("Team key"), key);
    column->addLayout(rows);

    auto *saveRow = new QHBoxLayout;
    m_busy = busyIndicator(this);
    saveRow->addWidget(m_busy);
    m_message = secondaryCaption(this);
    m_message->setObjectName(QStringLiteral("message"));
    saveRow->addWidget(m_message, 1);
    saveRow->addStretch(0); // keeps the button at the end while no message shows
    m_saveButton = button(QStringLiteral("Save Changes"), this);
    m_saveButton->setObjectName(QStringLiteral("saveButton"));
    m_saveButton->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(m_saveButton, &QPushButton::clicked, this, &TeamInlineSettingsView::save);
    saveRow->addWidget(m_saveButton);
    column->addLayout(saveRow);
    column->addWidget(notice(QStringLiteral("lock.shield"), sharingNotice, this));

    onTeamChange(m_team, this, [this] { render(); });
    render();
    renderMessage();
}

TeamInlineSettingsView::~TeamInlineSettingsView()
{
    m_call.cancel();
}

void TeamInlineSettingsView::render()
{
    const TeamSettingsStore &settings = m_team.settings();
    if (m_teamNameField->text() != settings.teamName())
        m_teamNameField->setText(settings.teamName());
    if (m_memberNameField->text() != settings.memberName())
        m_memberNameField->setText(settings.memberName());
    m_copyButton->setVisible(settings.hasStoredKey() && !isPlainMember(m_team));
}

void TeamInlineSettingsView::renderMessage()
{
    // At most one message: an error hides a success.
    if (m_errorMessage)
        showMessage(m_message, *m_errorMessage, true);
    else
        showMessage(m_message, m_statusMessage.value_or(QString()), false);
}

void TeamInlineSettingsView::setWorking(bool working)
{
    m_isWorking = working;
    m_saveButton->setEnabled(!working);
    m_busy->setVisible(working);
}

void TeamInlineSettingsView::copyTeamKey()
{
    const std::optional<QString> key = m_team.settings().readKey();
    if (!key)
        return;
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(*key);
    m_statusMessage = QStringLiteral("Team key copied.");
    renderMessage();
}

bool TeamInlineSettingsView::cancelRunningCall()
{
    if (!m_isWorking)
        return false;
    m_call.cancel(); // the completion reports the cancellation
    return true;
}

void TeamInlineSettingsView::fail(const QString &message)
{
    m_errorMessage = message;
    renderMessage();
    setWorking(false);
}

void TeamInlineSettingsView::save()
{
    if (m_isWorking)
        return;
    setWorking(true);
    m_errorMessage.reset();
    m_statusMessage.reset();
    renderMessage();

    TeamSettingsStore &settings = m_team.settings();
    settings.setEnabled(true);
    try {
        settings.validateFields();
    } catch (const TeamSettingsError &error) {
        fail(error.message());
        return;
    }
    TeamPresenceService &service = m_team.service();
    if (settings.teamName().trimmed() == service.teamName() || isPlainMember(m_team)) {
        finishSave();
        return;
    }
    m_call = service.updateTeamNameAuthenticated(settings.teamName(), this,
                                                 [this](const TeamCallCompletion &renamed) {
                                                     if (!renamed)
                                                         fail(renamed.error().message());
                                                     else
                                                         finishSave();
                                                 });
}

void TeamInlineSettingsView::finishSave()
{
    try {
        m_team.settings().save(std::nullopt);
    } catch (const TeamSettingsError &error) {
        fail(error.message());
        return;
    }
    m_team.service().reconfigure();
    m_statusMessage = QStringLiteral("Team settings saved.");
    renderMessage();
    setWorking(false);
}

} // namespace tolvaran
