#pragma once

#include <QString>
#include <QWidget>

class QBoxLayout;
class QPushButton;
class QSpacerItem;
class QToolButton;

namespace tolvaran {

class ElidingLabel;

// The top strip of the detail pane: back, the project's name with its rename button and its
// path, and the actions Last Chat, New, file manager and terminal. It shows values and
// reports what the user asked for; carrying it out is its owner's business.
//
// It lays the actions beside the name while both fit in its width, else below it.
class DetailHeader final : public QWidget
{
    Q_OBJECT

public:
    static constexpr int renameFieldWidth = 320;
    static constexpr int identityActionsSpacing = 14;
    static constexpr int minimumFlexibleSpace = 12;
    static constexpr int stackedSpacing = 12;

    explicit DetailHeader(QWidget *parent = nullptr);

    void setProject(const QString &name, const QString &path);
    // Whether the rename prompt lets the user rename (no Codex task works anywhere).
    void setRenameAllowed(bool allowed) { m_renameAllowed = allowed; }

    QString name() const;
    QString path() const;
    bool isStacked() const { return m_isStacked; }
    // The controls in reading order.
    QList<QWidget *> controls() const;

    // Opens the rename prompt for the name shown (the pencil button does this).
    void promptToRename();

Q_SIGNALS:
    void backRequested();
    // The text exactly as entered in the rename prompt.
    void renameRequested(const QString &name);
    void lastChatRequested();
    void newChatRequested();
    void fileManagerRequested();
    void terminalRequested();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void updateArrangement();

    QWidget *m_identity;
    QWidget *m_actions;
    QBoxLayout *m_layout;
    QSpacerItem *m_space;
    QToolButton *m_back;
    ElidingLabel *m_name;
    QToolButton *m_rename;
    ElidingLabel *m_path;
    QPushButton *m_lastChat;
    QPushButton *m_newChat;
    QToolButton *m_fileManager;
    QToolButton *m_terminal;
    bool m_renameAllowed = true;
    bool m_isStacked = false;
};

} // namespace tolvaran
