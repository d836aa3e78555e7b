#pragma once

#include <QString>
#include <QWidget>

#include <optional>

class QLabel;
class QToolButton;

namespace tolvaran {

// The line at the foot of the detail pane that shows what the pane's actions report, with a
// button that dismisses it. Hidden while there is no message.
class DetailStatusBanner final : public QWidget
{
    Q_OBJECT

public:
    // The message shows on at most this many lines.
    static constexpr int maximumLineCount = 2;

    explicit DetailStatusBanner(QWidget *parent = nullptr);

    void setMessage(const std::optional<QString> &message);
    QString message() const;
    QToolButton *dismissButton() const { return m_dismiss; }

Q_SIGNALS:
    void dismissRequested();

private:
    QLabel *m_message;
    QToolButton *m_dismiss;
};

} // namespace tolvaran
