#pragma once

#include "data/catalog/CodexProject.h"
#include "data/codex/CodexThread.h"
#include "platform/Timestamp.h"

#include <QAbstractButton>
#include <QList>
#include <QWidget>

class QLabel;
class QVBoxLayout;

namespace tolvaran {

class DetailEmptyState;
class ElidingLabel;
class RoundedPanel;

// The Recent Chats tab lists at most this many chats.
constexpr qsizetype maximumRecentChats = 50;

// The project's chats newest first by recency (chats of equal recency keep the project's
// order), at most maximumRecentChats.
QList<CodexThread> recentChats(const CodexProject &project);

// One chat of the list: its title, its latest request (or "No user message available"), how
// long ago it was active, and an arrow; a click opens it.
class RecentChatRow final : public QAbstractButton
{
    Q_OBJECT

public:
    RecentChatRow(const CodexThread &thread, Timestamp now, QWidget *parent = nullptr);

    const QString &threadID() const { return m_threadID; }
    QString title() const;
    QString message() const;
    void setNow(Timestamp now);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_threadID;
    Timestamp m_recencyAt;
    ElidingLabel *m_title;
    ElidingLabel *m_message;
    QLabel *m_date;
};

// The Recent Chats tab: the title, then the rows with a divider between each two, or "No
// recent chats found".
class RecentChatList final : public QWidget
{
    Q_OBJECT

public:
    explicit RecentChatList(QWidget *parent = nullptr);

    // Rows are made again only when the listed chats or what their rows show changed;
    // otherwise only the relative dates are renewed.
    void setProject(const CodexProject &project, Timestamp now);

    QList<RecentChatRow *> rows() const;
    bool isEmptyStateShown() const;

Q_SIGNALS:
    void chatChosen(const QString &threadID);

private:
    void rebuildRows(const QList<CodexThread> &chats, Timestamp now);

    QList<CodexThread> m_shownChats;
    RoundedPanel *m_rowsPanel;
    QVBoxLayout *m_rowsLayout;
    DetailEmptyState *m_empty;
};

} // namespace tolvaran
