#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QWidget>

class QLabel;
class QProgressBar;

namespace tolvaran {

class AppUpdateService;
class ClosureButton;

// The update control of the browser's title row: the "New Version" button, which installs the
// available update, and the spinner beside it while an installation runs. It follows the
// updater's own change signals, so nothing else has to render it. In a narrow window
// (setCompact) the button's title shortens and, while the control shows, it takes the place
// of the version label it is given.
//
// An installation's failure is shown once, as the "Update Failed" alert over the window, and
// consumed (the updater's message is cleared before the alert opens).
class UpdateControl final : public QWidget
{
    Q_OBJECT

public:
    // The updater must outlive the control; the version label may go first.
    UpdateControl(AppUpdateService &updater, QLabel *versionLabel, QWidget *parent = nullptr);

    void setCompact(bool compact);
    bool isCompact() const { return m_compact; }

    ClosureButton *button() const { return m_button; }
    QProgressBar *progressIndicator() const { return m_progressIndicator; }
    // The alert of the last failure while it is open, else null.
    QMessageBox *failureAlert() const { return m_failureAlert; }

private:
    void render();
    void showFailure();

    AppUpdateService &m_updater;
    QPointer<QLabel> m_versionLabel;
    ClosureButton *m_button = nullptr;
    QProgressBar *m_progressIndicator = nullptr;
    QPointer<QMessageBox> m_failureAlert;
    bool m_compact = false;
};

} // namespace tolvaran
