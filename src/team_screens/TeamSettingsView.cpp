#include "team_screens/TeamSettingsView.h"

#include "team/presence/TeamPresenceService.h"
#include "team/server/TeamSettingsError.h"
#include "team/server/TeamSettingsStore.h"
#include "team_screens/TeamConnectionPresentation.h"
#include "team_screens/TeamScreenStyle.h"
#include "team_screens/TeamScreenTeam.h"
#include "widgets/BrowserStyle.h"
#include "widgets/ClosureButton.h"
#include "widgets/FocusInView.h"
#include "widgets/FontScale.h"
#include "widgets/SymbolIconTable.h"
#include "widgets/screen_fit/DialogFit.h"

#include <QClipboard>
#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace tolvaran {

namespace {

const QString sharingNotice = QStringLiteral(
    "Shared: app version, repo identity, branch, changed file paths, Git counts, commit "
    "titles, and processing state. Codex chats, prompts, responses, and thread details are "
    "never sent.");

} // namespace

using namespace TeamScreenStyle;

TeamSettingsView::TeamSettingsView(TeamScreenTeam &team, Callback onDismiss, Callback onSaved,
                                   QWidget *parent)
    : QDialog(parent)
    , m_team(team)
    , m_onDismiss(std::move(onDismiss))
    , m_onSaved(std::move(onSaved))
{
    setObjectName(QStringLiteral("teamSettingsSheet"));
    setWindowTitle(QStringLiteral("Team activity"));
    // 560 by 680 at the default text size, larger with the text; on a smaller screen the form
    // scrolls and the notice wraps.
    DialogFit::follow(this, [] {
        return QSize(FontScale::scaled(sheetWidth), FontScale::scaled(sheetHeight));
    });
    buildInterface();
    onTeamChange(m_team, this, [this] { render(); });
    render();
}

TeamSettingsView::~TeamSettingsView()
{
    m_isClosed = true;
    m_call.cancel();
}

void TeamSettingsView::buildInterface()
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto *header = new QWidget(this);
    auto *headerRow = new QHBoxLayout(header);
    headerRow->setContentsMargins(22, 18, 22, 18);
    auto *titles = new QVBoxLayout;
    titles->setSpacing(3);
    m_title = plainLabel(BrowserStyle::systemFont(title2Size, QFont::DemiBold), header);
    m_title->setObjectName(QStringLiteral("sheetTitle"));
    // A long team name takes a second line rather than widen the sheet past the screen.
    m_title->setWordWrap(true);
    titles->addWidget(m_title);
    QLabel *subtitle = plainLabel(BrowserStyle::systemFont(subheadlineSize), header,
                                  QStringLiteral("Team activity"));
    BrowserStyle::setTextColor(subtitle, BrowserStyle::secondaryLabelColor(palette()));
    titles->addWidget(subtitle);
    headerRow->addLayout(titles);
    headerRow->addStretch();
    ClosureButton *close = ClosureButton::symbol(QStringLiteral("xmark"),
                                                 QStringLiteral("Close"), header);
    close->setObjectName(QStringLiteral("closeButton"));
    close->setHandler([sheet = QPointer(this)] {
        if (sheet)
            sheet->closeSheet();
    });
    headerRow->addWidget(close);
    layout->addWidget(header);
    layout->addWidget(divider(this));

    auto *scroll = new QScrollArea(this);
    keepFocusInView(scroll);
    // No Tab stop of its own, which it would not show: its fields take the focus, and it
    // scrolls to whichever holds it.
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto *content = new QWidget(scroll);
    auto *column = new QVBoxLayout(content);
    column->setContentsMargins(22, 22, 22, 22);
    column->setSpacing(20);

    auto *form = new QFormLayout;
    m_teamNameField = new QLineEdit(content);
    m_teamNameField->setObjectName(QStringLiteral("teamNameField"));
    connect(m_teamNameField, &QLineEdit::textEdited, this,
            [this](const QString &text) { m_team.settings().setTeamName(text); });
    form->addRow(QStringLiteral("Team name"), m_teamNameField);
    m_memberNameField = new QLineEdit(content);
    m_memberNameField->setObjectName(QStringLiteral("memberNameField"));
    connect(m_memberNameField, &QLineEdit::textEdited, this,
            [this](const QString &text) { m_team.settings().setMemberName(text); });
    form->addRow(QStringLiteral("Your name"), m_memberNameField);

    m_keyRow = new QStackedWidget(content);
    m_keyRow->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    m_keyField = new QLineEdit(m_keyRow);
    m_keyField->setObjectName(QStringLiteral("teamKeyField"));
    // Its row's title names the row, which holds the key or the note that one is saved.
    m_keyField->setAccessibleName(QStringLiteral("Team key"));
    m_keyField->setEchoMode(QLineEdit::Password);
    m_keyField->setPlaceholderText(QStringLiteral("Paste the team key"));
    connect(m_keyField, &QLineEdit::textEdited, this,
            [this](const QString &text) { m_newKey = text; });
    m_keyRow->addWidget(m_keyField);
    auto *saved = new QWidget(m_keyRow);
    auto *savedRow = new QHBoxLayout(saved);
    savedRow->setContentsMargins(0, 0, 0, 0);
    const QColor secondary = BrowserStyle::secondaryLabelColor(palette());
    savedRow->addWidget(symbolLabel(QStringLiteral("checkmark.circle.fill"), symbolSize, saved,
                                    secondary));
    QLabel *savedText = plainLabel(saved, QStringLiteral("Saved on this computer"));
    BrowserStyle::setTextColor(savedText, secondary);
    savedRow->addWidget(savedText);
    savedRow->addStretch();
    m_keyRow->addWidget(saved);
    form->addRow(QStringLiteral("Team key"), m_keyRow);

    m_shareRow = new QWidget(content);
    auto *shareLayout = new QHBoxLayout(m_shareRow);
    shareLayout->setContentsMargins(0, 0, 0, 0);
    QPushButton *copy = button(QStringLiteral("Copy Team Key"), m_shareRow,
                               QStringLiteral("doc.on.doc"));
    copy->setObjectName(QStringLiteral("copyKeyButton"));
    copy->setAutoDefault(false); // Enter in a field saves
    connect(copy, &QPushButton::clicked, this, &TeamSettingsView::copyTeamKey);
    shareLayout->addWidget(copy);
    shareLayout->addStretch();
    m_shareLabel = new QLabel(QStringLiteral("Share"), content);
    form->addRow(m_shareLabel, m_shareRow);
    column->addLayout(form);

    column->addWidget(notice(QStringLiteral("lock.shield"), sharingNotice, content));
    m_errorLabel = secondaryCaption(content);
    m_errorLabel->setObjectName(QStringLiteral("errorMessage"));
    m_errorLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    column->addWidget(m_errorLabel);
    m_statusLabel = secondaryCaption(content);
    m_statusLabel->setObjectName(QStringLiteral("statusMessage"));
    column->addWidget(m_statusLabel);
    column->addStretch();
    scroll->setWidget(content);
    layout->addWidget(scroll, 1);
    layout->addWidget(divider(this));

    auto *footer = new QWidget(this);
    auto *footerRow = new QHBoxLayout(footer);
    footerRow->setContentsMargins(22, 14, 22, 14);
    m_connectionSymbol = new QLabel(footer);
    footerRow->addWidget(m_connectionSymbol);
    m_connectionLabel = plainLabel(BrowserStyle::systemFont(captionSize), footer);
    m_connectionLabel->setObjectName(QStringLiteral("connectionLabel"));
    footerRow->addWidget(m_connectionLabel);
    footerRow->addStretch();
    m_busy = busyIndicator(footer);
    footerRow->addWidget(m_busy);
    QPushButton *cancel = button(QStringLiteral("Cancel"), footer);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    cancel->setAutoDefault(false);
    connect(cancel, &QPushButton::clicked, this, &TeamSettingsView::closeSheet);
    footerRow->addWidget(cancel);
    m_saveButton = button(QStringLiteral("Save"), footer);
    m_saveButton->setObjectName(QStringLiteral("saveButton"));
    m_saveButton->setDefault(true);
    connect(m_saveButton, &QPushButton::clicked, this, &TeamSettingsView::save);
    footerRow->addWidget(m_saveButton);
    layout->addWidget(footer);

    setError(std::nullopt);
    setStatus(std::nullopt);
    m_teamNameField->setFocus();
}

void TeamSettingsView::render()
{
    const TeamSettingsStore &settings = m_team.settings();
    const TeamPresenceService &service = m_team.service();
    m_title->setText(service.teamName());
    // A field the user is typing in is not rewritten under the cursor; the edit buffer is
    // what the field shows anyway, except when the server's name replaces it.
    if (m_teamNameField->text() != settings.teamName())
        m_teamNameField->setText(settings.teamName());
    if (m_memberNameField->text() != settings.memberName())
        m_memberNameField->setText(settings.memberName());
    m_keyRow->setCurrentIndex(settings.hasStoredKey() ? 1 : 0);
    const bool share = settings.hasStoredKey() && mayShareKey();
    m_shareRow->setVisible(share);
    m_shareLabel->setVisible(share);

    const TeamConnectionState &state = service.connectionState();
    const QColor color = TeamConnectionPresentation::sheetColor(state, palette());
    m_connectionSymbol->setPixmap(
        tintedSymbolIcon(TeamConnectionPresentation::sheetSymbol(state), color)
            .pixmap(captionSize + 3, captionSize + 3));
    m_connectionLabel->setText(TeamConnectionPresentation::label(state));
    BrowserStyle::setTextColor(m_connectionLabel, color);
}

bool TeamSettingsView::mayShareKey() const
{
    return !isPlainMember(m_team);
}

void TeamSettingsView::setWorking(bool working)
{
    m_isWorking = working;
    // Disabling the focused Save button would hand the focus on along the chain, to the close
    // button, where a Space would close the sheet and drop what was typed. The sheet itself
    // holds it while the save runs.
    if (working && m_saveButton->hasFocus())
        setFocus(Qt::OtherFocusReason);
    m_saveButton->setEnabled(!working);
    m_busy->setVisible(working);
}

void TeamSettingsView::setError(const std::optional<QString> &message)
{
    m_errorMessage = message;
    showMessage(m_errorLabel, message.value_or(QString()), true);
}

void TeamSettingsView::setStatus(const std::optional<QString> &message)
{
    m_statusMessage = message;
    showMessage(m_statusLabel, message.value_or(QString()), false);
}

void TeamSettingsView::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // The team's queued commit notices are dropped once the user looks at the team.
    if (!m_clearedNotifications) {
        m_clearedNotifications = true;
        m_team.service().clearCommitNotifications();
    }
}

void TeamSettingsView::copyTeamKey()
{
    if (!mayShareKey())
        return;
    const std::optional<QString> key =
        m_newKey.isEmpty() ? m_team.settings().readKey() : std::optional<QString>(m_newKey);
    if (!key)
        return;
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(*key);
    setStatus(QStringLiteral("Team key copied."));
}

void TeamSettingsView::closeSheet()
{
    // A save still waiting for the server ends here, before any of it is stored.
    m_isClosed = true;
    m_call.cancel();
    if (m_isWorking)
        setWorking(false);
    if (m_onDismiss)
        m_onDismiss();
    else
        QDialog::reject();
}

void TeamSettingsView::reject()
{
    closeSheet();
}

void TeamSettingsView::fail(const QString &message, QWidget *field)
{
    setError(message);
    setWorking(false);
    if (field && field->isVisible())
        field->setFocus(Qt::OtherFocusReason);
    else if (hasFocus())
        m_saveButton->setFocus(Qt::OtherFocusReason);
}

void TeamSettingsView::fail(const TeamSettingsError &error)
{
    QWidget *field = nullptr;
    switch (error.kind()) {
    case TeamSettingsErrorKind::invalidMemberName:
        field = m_memberNameField;
        break;
    case TeamSettingsErrorKind::invalidTeamName:
        field = m_teamNameField;
        break;
    case TeamSettingsErrorKind::missingKey:
    case TeamSettingsErrorKind::shortKey:
    case TeamSettingsErrorKind::alreadyMember:
        field = m_keyField;
        break;
    case TeamSettingsErrorKind::credentialStorageFailure:
        break;
    }
    fail(error.message(), field);
}

void TeamSettingsView::save()
{
    if (m_isWorking)
        return;
    m_isClosed = false;
    setWorking(true);
    setError(std::nullopt);
    setStatus(std::nullopt);

    TeamSettingsStore &settings = m_team.settings();
    try {
        settings.validateFields();
    } catch (const TeamSettingsError &error) {
        fail(error);
        return;
    }
    const QString typedKey = m_newKey.trimmed();
    if (refuseSecondMembership(typedKey, {}))
        return;
    if (!settings.isEnabled()) {
        finishSave(typedKey);
        return;
    }

    const QString keyToVerify =
        typedKey.isEmpty() ? settings.readKey().value_or(QString()) : typedKey;
    if (keyToVerify.isEmpty()) {
        // A registered device that keeps no key saves without asking the server.
        if (settings.hasRegistration())
            finishSave(typedKey);
        else
            fail(TeamSettingsError(TeamSettingsError::Kind::missingKey));
        return;
    }

    m_call = m_team.service().verifyTeam(
        keyToVerify, this, [this, typedKey, keyToVerify](TeamCallResult<TeamSnapshot> result) {
            if (m_isClosed)
                return;
            if (!result) {
                fail(result.error().message(), m_keyField);
                return;
            }
            const std::optional<TeamSecurityStatus> &security = result.value().security;
            if (refuseSecondMembership(typedKey, security ? security->installations
                                                          : QList<TeamInstallation>()))
                return;
            TeamSettingsStore &store = m_team.settings();
            const std::optional<TeamMetadata> &team = result.value().team;
            if (team && typedKey.isEmpty() && team->name != store.teamName().trimmed()) {
                m_call = m_team.service().updateTeamName(
                    keyToVerify, store.teamName(), this,
                    [this, typedKey](const TeamCallCompletion &renamed) {
                        if (m_isClosed)
                            return;
                        if (!renamed)
                            fail(renamed.error().message(), m_teamNameField);
                        else
                            finishSave(typedKey);
                    });
                return;
            }
            if (team && !typedKey.isEmpty())
                store.applyServerTeamName(team->name);
            finishSave(typedKey);
        });
}

bool TeamSettingsView::refuseSecondMembership(const QString &typedKey,
                                              const QList<TeamInstallation> &installations)
{
    if (typedKey.isEmpty() || !m_isMember || !m_isMember(typedKey, installations))
        return false;
    fail(TeamSettingsError(TeamSettingsError::Kind::alreadyMember));
    return true;
}

void TeamSettingsView::finishSave(const QString &typedKey)
{
    try {
        m_team.settings().save(typedKey.isEmpty() ? std::nullopt
                                                  : std::optional<QString>(typedKey));
    } catch (const TeamSettingsError &error) {
        fail(error);
        return;
    }
    m_team.service().reconfigure();
    setWorking(false);
    // The callbacks may end the sheet (later); nothing of it is touched after them.
    const Callback onSaved = m_onSaved;
    const QPointer<TeamSettingsView> sheet(this);
    if (onSaved)
        onSaved();
    if (sheet)
        sheet->closeSheet();
}

} // namespace tolvaran
