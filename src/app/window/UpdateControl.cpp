#include "app/window/UpdateControl.h"

#include "widgets/BrowserStyle.h"
#include "widgets/ClosureButton.h"
#include "widgets/PlainText.h"
#include "widgets/SymbolIconTable.h"
#include "widgets/screen_fit/DialogFit.h"
#include "update/AppUpdateService.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>

namespace tolvaran {

namespace {

constexpr int progressIndicatorSize = 14;
constexpr int progressSteps = 1000;

} // namespace

UpdateControl::UpdateControl(AppUpdateService &updater, QLabel *versionLabel, QWidget *parent)
    : QWidget(parent)
    , m_updater(updater)
    , m_versionLabel(versionLabel)
{
    setObjectName(QStringLiteral("updateControl"));
    m_button = new ClosureButton(QStringLiteral("New Version"),
                                 symbolIcon(QStringLiteral("arrow.down.circle.fill")), {}, this);
    m_button->setObjectName(QStringLiteral("updateButton"));
    BrowserStyle::systemFont(11, QFont::Medium).apply(m_button);
    m_button->setAutoRaise(true);
    m_button->setAccessibleDescription(QStringLiteral("Install available update"));
    m_button->setHandler([control = QPointer(this)] {
        if (control)
            control->m_updater.installAvailableUpdate();
    });
    m_progressIndicator = new QProgressBar(this);
    m_progressIndicator->setObjectName(QStringLiteral("updateProgressIndicator"));
    m_progressIndicator->setTextVisible(false);
    m_progressIndicator->setFixedSize(progressIndicatorSize, progressIndicatorSize);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    layout->addWidget(m_button, 0, Qt::AlignVCenter);
    layout->addWidget(m_progressIndicator, 0, Qt::AlignVCenter);

    connect(&updater, &AppUpdateService::availableUpdateChanged, this, &UpdateControl::render);
    connect(&updater, &AppUpdateService::isInstallingChanged, this, &UpdateControl::render);
    connect(&updater, &AppUpdateService::installProgressChanged, this, &UpdateControl::render);
    connect(&updater, &AppUpdateService::errorMessageChanged, this, &UpdateControl::showFailure);
    render();
    showFailure();
}

void UpdateControl::setCompact(bool compact)
{
    if (compact == m_compact)
        return;
    m_compact = compact;
    render();
}

void UpdateControl::render()
{
    const bool isInstalling = m_updater.isInstalling();
    const auto &available = m_updater.availableUpdate();
    const bool shows = isInstalling || available.has_value();
    setVisible(shows);
    m_button->setVisible(shows);
    m_progressIndicator->setVisible(isInstalling);
    if (QLabel *versionLabel = m_versionLabel.data())
        versionLabel->setVisible(!(m_compact && shows));

    if (isInstalling) {
        m_button->setText(m_compact ? QStringLiteral("Working") : QStringLiteral("Working..."));
        m_button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        setPlainToolTip(m_button, QStringLiteral("Downloading and preparing the update"));
        m_button->setEnabled(false);
        // The spinner turns into a gauge while the download's share is known.
        const WorkProgress &progress = m_updater.installProgress();
        if (progress.isDeterminate()) {
            m_progressIndicator->setRange(0, progressSteps);
            m_progressIndicator->setValue(int(progress.fraction * progressSteps));
        } else {
            m_progressIndicator->setRange(0, 0);
        }
        m_progressIndicator->setToolTip(progress.text);
        return;
    }
    m_progressIndicator->setRange(0, 0);
    m_progressIndicator->setToolTip({});
    m_button->setText(m_compact ? QStringLiteral("Update") : QStringLiteral("New Version"));
    m_button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    setPlainToolTip(m_button, available ? QStringLiteral("Install version ") + available->version
                                        : QString());
    m_button->setEnabled(available.has_value());
}

void UpdateControl::showFailure()
{
    const std::optional<QString> message = m_updater.errorMessage();
    if (!message)
        return;
    // Consumed before the alert opens: clearing it announces a change, which lands here again
    // and finds nothing to show.
    m_updater.clearErrorMessage();
    auto *alert = new QMessageBox(window());
    alert->setObjectName(QStringLiteral("updateFailedAlert"));
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setIcon(QMessageBox::Information);
    alert->setTextFormat(Qt::PlainText);
    alert->setWindowTitle(QStringLiteral("Update Failed"));
    alert->setText(QStringLiteral("Update Failed"));
    // Tool output can look like markup; it is shown as the text it is.
    alert->setInformativeText(plainToolTip(*message));
    alert->setWindowModality(Qt::WindowModal);
    m_failureAlert = alert;
    DialogFit::follow(alert);
    alert->open();
}

} // namespace tolvaran
