#pragma once

#include "app/tags/SidebarSignature.h"

#include <QString>
#include <QUuid>
#include <QWidget>

#include <functional>
#include <optional>

class QLabel;
class QLineEdit;
class QToolButton;
class QVBoxLayout;

namespace tolvaran {

// The tag sidebar: a header with a hide button, an "All Projects" row, a separator and one row
// per tag (its count, and a red bell or an accent gear while any of its projects have unread
// or processing chats, each tag with an actions menu to rename or delete it), and at the
// bottom a field and a button to add a tag, with the reason a name was refused right below
// them. It shows plain values and reports what the user asks for through its signals; the
// browser carries the requests out on the coordinator. Rows made anew keep the focus where it
// was: on the same control of the same tag's row, else of the row now in its place, else on
// "All Projects".
class TagSidebar final : public QWidget
{
    Q_OBJECT

public:
    static constexpr int rowHeight = 30;
    static constexpr int indicatorSize = 12;
    // Tag names longer than this (pixels) are elided in their row; the tooltip has them whole.
    static constexpr int rowTitleMaximumWidth = 120;

    explicit TagSidebar(QWidget *parent = nullptr);

    // Shows `signature`. The rows are rebuilt only when it differs from the one on screen;
    // returns whether they were.
    bool setSignature(const SidebarSignature &signature);
    const std::optional<SidebarSignature> &signature() const { return m_signature; }

    // The new-tag field.
    QString newTagText() const;
    void clearNewTagText();
    // The message below the new-tag field; none hides it. Editing the field hides it too.
    void setMessage(const std::optional<QString> &message);
    std::optional<QString> message() const;

    // The "Tag actions" button of the tag's row; none while the tag has no row.
    QWidget *tagActionsButton(const QUuid &tagID) const;

    // The help text of a row's bell: "1 project with unread activity", "2 projects with ...".
    static QString unreadHelpText(int count);
    // The help text of a row's gear: "1 project is processing", "3 projects are processing".
    static QString processingHelpText(int count);

Q_SIGNALS:
    void hideRequested();
    // The add button, or Return in the field, with the field's text as typed.
    void addRequested(const QString &name);
    void allProjectsChosen();
    void tagChosen(const QUuid &tagID);
    // From a tag's actions menu.
    void renameRequested(const QUuid &tagID);
    void deleteRequested(const QUuid &tagID);

private:
    // Where the focus is among the rows: the row (by its tag; none for "All Projects"), its
    // place among the tag rows and the control's name.
    struct RowFocus
    {
        std::optional<QUuid> tagID;
        qsizetype position = 0;
        QString control;
    };

    void rebuildRows();
    std::optional<RowFocus> rowFocus() const;
    void restoreRowFocus(const RowFocus &focus);
    QWidget *sidebarRow(const QString &title, const ProjectTagStatus &status, bool selected,
                        std::function<void()> action);
    QWidget *tagRow(const ProjectTag &tag, const ProjectTagStatus &status);
    void showTagActions(QToolButton *button, const QUuid &tagID);

    std::optional<SidebarSignature> m_signature;
    QVBoxLayout *m_rows = nullptr;
    QLineEdit *m_newTagField = nullptr;
    QLabel *m_messageLabel = nullptr;
};

} // namespace tolvaran
