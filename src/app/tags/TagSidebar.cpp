#include "app/tags/TagSidebar.h"

#include "widgets/BrowserStyle.h"
#include "widgets/ClosureButton.h"
#include "widgets/FocusInView.h"
#include "widgets/FontScale.h"
#include "widgets/PlainText.h"
#include "widgets/SymbolIconTable.h"
#include "widgets/SystemColors.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace tolvaran {

namespace {

using namespace BrowserStyle;

void setButtonTextColor(QWidget *button, const QColor &color)
{
    QPalette palette = button->palette();
    palette.setColor(QPalette::ButtonText, color);
    button->setPalette(palette);
}

ClosureButton *symbolButton(QWidget *parent, const QString &name, const QString &symbolName,
                            const QString &help, ClosureButton::Handler handler)
{
    ClosureButton *button = ClosureButton::symbol(symbolName, help, parent);
    button->setObjectName(name);
    button->setHandler(std::move(handler));
    return button;
}

// A status icon of a row: the symbol in `color`, with `help` as tooltip and description.
QLabel *statusIndicator(QWidget *parent, const QString &name, const QString &symbolName,
                        const QColor &color, const QString &help)
{
    auto *indicator = new QLabel(parent);
    indicator->setObjectName(name);
    indicator->setPixmap(tintedSymbolIcon(symbolName, color).pixmap(TagSidebar::indicatorSize));
    indicator->setFixedSize(TagSidebar::indicatorSize, TagSidebar::indicatorSize);
    indicator->setScaledContents(true);
    indicator->setToolTip(help);
    indicator->setAccessibleName(help);
    return indicator;
}

// The tag of a tag row, a QUuid (none on "All Projects").
const char *const tagIDProperty = "tagID";

} // namespace

TagSidebar::TagSidebar(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("sidebar"));
    setBackgroundColor(this, palette().color(QPalette::Window));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto *header = new QHBoxLayout;
    header->setContentsMargins(12, 12, 10, 0);
    auto *title = new QLabel(QStringLiteral("Tags"), this);
    title->setObjectName(QStringLiteral("sidebarTitle"));
    systemFont(15, QFont::DemiBold).apply(title);
    ClosureButton *hide = symbolButton(this, QStringLiteral("sidebarHideButton"),
                                       QStringLiteral("sidebar.left"), QStringLiteral("Hide tags"),
                                       [this] { Q_EMIT hideRequested(); });
    header->addWidget(title);
    header->addStretch(1);
    header->addWidget(hide);
    layout->addLayout(header);

    layout->addSpacing(10);
    auto *scroll = new QScrollArea(this);
    keepFocusInView(scroll);
    scroll->setObjectName(QStringLiteral("sidebarScrollView"));
    // No Tab stop of its own, which it would not show: the rows take the focus, and the area
    // scrolls to whichever holds it.
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidgetResizable(true);
    auto *document = new QWidget;
    m_rows = new QVBoxLayout(document);
    m_rows->setContentsMargins(8, 8, 8, 8);
    m_rows->setSpacing(4);
    m_rows->setAlignment(Qt::AlignTop);
    scroll->setWidget(document);
    scroll->viewport()->setAutoFillBackground(false);
    document->setAutoFillBackground(false);
    layout->addWidget(scroll, 1);

    layout->addSpacing(8);
    auto *newTag = new QVBoxLayout;
    newTag->setContentsMargins(10, 0, 10, 10);
    newTag->setSpacing(4);
    auto *fieldRow = new QHBoxLayout;
    fieldRow->setSpacing(6);
    m_newTagField = new QLineEdit(this);
    m_newTagField->setObjectName(QStringLiteral("newTagField"));
    m_newTagField->setPlaceholderText(QStringLiteral("New tag"));
    m_newTagField->setAccessibleName(QStringLiteral("New tag"));
    ClosureButton *add =
        symbolButton(this, QStringLiteral("addTagButton"), QStringLiteral("plus"),
                     QStringLiteral("Add tag"), [this] { Q_EMIT addRequested(newTagText()); });
    // Return and Enter add the name as "+" does, and leave a refused one in the field.
    connect(m_newTagField, &QLineEdit::returnPressed, this,
            [this] { Q_EMIT addRequested(newTagText()); });
    // A refused name's message concerns what was typed; a correction makes it stale.
    connect(m_newTagField, &QLineEdit::textEdited, this,
            [this] { setMessage(std::nullopt); });
    fieldRow->addWidget(m_newTagField, 1);
    fieldRow->addWidget(add);
    newTag->addLayout(fieldRow);
    m_messageLabel = new QLabel(this);
    m_messageLabel->setObjectName(QStringLiteral("tagMessageLabel"));
    m_messageLabel->setTextFormat(Qt::PlainText);
    m_messageLabel->setWordWrap(true);
    systemFont(11).apply(m_messageLabel);
    setTextColor(m_messageLabel, SystemColors::red());
    m_messageLabel->hide();
    newTag->addWidget(m_messageLabel);
    layout->addLayout(newTag);

    // The rows' heights and cut titles are made for one text size: made again for another.
    FontScale::follow(this, [this] {
        if (m_signature)
            rebuildRows();
    });
}

bool TagSidebar::setSignature(const SidebarSignature &signature)
{
    if (m_signature == signature)
        return false;
    m_signature = signature;
    rebuildRows();
    return true;
}

QString TagSidebar::newTagText() const
{
    return m_newTagField->text();
}

void TagSidebar::clearNewTagText()
{
    m_newTagField->clear();
}

void TagSidebar::setMessage(const std::optional<QString> &message)
{
    m_messageLabel->setText(message.value_or(QString()));
    m_messageLabel->setVisible(message.has_value());
}

std::optional<QString> TagSidebar::message() const
{
    if (m_messageLabel->isHidden())
        return std::nullopt;
    return m_messageLabel->text();
}

QString TagSidebar::unreadHelpText(int count)
{
    return QString::number(count) + QStringLiteral(" project")
        + (count == 1 ? QString() : QStringLiteral("s")) + QStringLiteral(" with unread activity");
}

QString TagSidebar::processingHelpText(int count)
{
    return QString::number(count) + QStringLiteral(" project")
        + (count == 1 ? QStringLiteral(" is") : QStringLiteral("s are"))
        + QStringLiteral(" processing");
}

QWidget *TagSidebar::tagActionsButton(const QUuid &tagID) const
{
    for (QWidget *row : m_rows->parentWidget()->findChildren<QWidget *>(
             QStringLiteral("sidebarRow"), Qt::FindDirectChildrenOnly)) {
        if (!tagID.isNull() && row->property(tagIDProperty).value<QUuid>() == tagID)
            return row->findChild<QWidget *>(QStringLiteral("tagActionsButton"));
    }
    return nullptr;
}

std::optional<TagSidebar::RowFocus> TagSidebar::rowFocus() const
{
    // The window's, not the application's: the focus stays there while a prompt of the tags
    // is the active window.
    QWidget *focused = window()->focusWidget();
    QWidget *document = m_rows->parentWidget();
    if (!focused || !document->isAncestorOf(focused))
        return std::nullopt;
    QWidget *row = focused;
    while (row->parentWidget() != document)
        row = row->parentWidget();
    RowFocus focus;
    focus.control = focused->objectName();
    const QVariant tagID = row->property(tagIDProperty);
    if (!tagID.isValid())
        return focus;
    focus.tagID = tagID.value<QUuid>();
    for (int index = 0; index < m_rows->count(); ++index) {
        const QWidget *shown = m_rows->itemAt(index)->widget();
        if (shown == row)
            break;
        if (shown && shown->property(tagIDProperty).isValid())
            ++focus.position;
    }
    return focus;
}

void TagSidebar::restoreRowFocus(const RowFocus &focus)
{
    const QList<ProjectTag> &tags = m_signature->tags;
    QUuid tagID; // none: "All Projects"
    if (focus.tagID && !tags.isEmpty()) {
        const bool kept = std::any_of(tags.cbegin(), tags.cend(), [&](const ProjectTag &tag) {
            return tag.id == *focus.tagID;
        });
        tagID = kept ? *focus.tagID : tags.at(std::min(focus.position, tags.size() - 1)).id;
    }
    for (QWidget *row : m_rows->parentWidget()->findChildren<QWidget *>(
             QStringLiteral("sidebarRow"), Qt::FindDirectChildrenOnly)) {
        if (row->property(tagIDProperty).value<QUuid>() != tagID)
            continue;
        QWidget *control = row->findChild<QWidget *>(focus.control);
        if (!control)
            control = row->findChild<QWidget *>(QStringLiteral("sidebarRowButton"));
        // The layout shows a new row a turn later; the focus wants it shown now.
        row->show();
        control->setFocus(Qt::OtherFocusReason);
        return;
    }
}

void TagSidebar::rebuildRows()
{
    // Rows that go take the focus with them: it returns to the same place in the new rows.
    const std::optional<RowFocus> focus = rowFocus();
    // Later, not now: the rebuild may follow a click on one of these rows.
    while (QLayoutItem *item = m_rows->takeAt(0)) {
        if (QWidget *widget = item->widget()) {
            widget->hide();
            widget->setParent(nullptr);
            widget->deleteLater();
        }
        delete item;
    }
    const SidebarSignature &signature = *m_signature;
    QWidget *document = m_rows->parentWidget();

    m_rows->addWidget(sidebarRow(QStringLiteral("All Projects"), signature.allProjectsStatus,
                                 !signature.selectedTagID.has_value(),
                                 [this] { Q_EMIT allProjectsChosen(); }));
    auto *separator = new QFrame(document);
    separator->setObjectName(QStringLiteral("sidebarSeparator"));
    separator->setFrameShape(QFrame::HLine);
    separator->setFrameShadow(QFrame::Plain);
    separator->setFixedHeight(1);
    setTextColor(separator, tertiaryLabelColor(palette()));
    m_rows->addWidget(separator);
    for (const ProjectTag &tag : signature.tags)
        m_rows->addWidget(tagRow(tag, signature.statuses.value(tag.id)));
    if (focus)
        restoreRowFocus(*focus);
}

QWidget *TagSidebar::sidebarRow(const QString &title, const ProjectTagStatus &status,
                                bool selected, std::function<void()> action)
{
    auto *row = new QWidget(m_rows->parentWidget());
    row->setObjectName(QStringLiteral("sidebarRow"));
    row->setFixedHeight(FontScale::scaled(rowHeight));
    auto *stack = new QHBoxLayout(row);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(5);

    auto *button = new ClosureButton(row);
    button->setObjectName(QStringLiteral("sidebarRowButton"));
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    // The selected row is drawn in the selection colours, whose words keep body text's
    // contrast on the fill the style draws (the accent on it would vanish, and the plain
    // highlighted text can fall short).
    setSelectedLook(button, selected);
    const QColor tint = selected ? button->palette().color(QPalette::Active, QPalette::ButtonText)
                                 : secondaryLabelColor(palette());
    button->setIcon(tintedSymbolIcon(QStringLiteral("tag.fill"), tint));
    const QString elided =
        button->fontMetrics().elidedText(title, Qt::ElideRight,
                                         FontScale::scaled(rowTitleMaximumWidth));
    button->setText(plainMenuText(elided));
    if (elided != title)
        setPlainToolTip(button, title);
    button->setAccessibleName(title);
    // Bordered only when selected: the selected row stands out as a pressed button.
    button->setAutoRaise(!selected);
    button->setCheckable(true);
    button->setChecked(selected);
    if (!selected)
        setButtonTextColor(button, tint);
    button->setHandler([action, button = QPointer(button), selected] {
        // A click toggles a checkable button; the selection is the coordinator's, shown again
        // by the next render.
        if (button)
            button->setChecked(selected);
        action();
    });
    stack->addWidget(button);
    stack->addStretch(1);

    if (status.unreadProjectCount >= 1) {
        stack->addWidget(statusIndicator(row, QStringLiteral("unreadIndicator"),
                                         QStringLiteral("bell.fill"), SystemColors::red(),
                                         unreadHelpText(status.unreadProjectCount)));
    }
    if (status.processingProjectCount >= 1) {
        stack->addWidget(statusIndicator(row, QStringLiteral("processingIndicator"),
                                         QStringLiteral("gearshape.fill"),
                                         SystemColors::accent(palette()),
                                         processingHelpText(status.processingProjectCount)));
    }
    auto *count = new QLabel(QString::number(status.totalCount), row);
    count->setObjectName(QStringLiteral("sidebarRowCount"));
    monospacedDigitFont(10).apply(count);
    setTextColor(count, secondaryLabelColor(palette()));
    stack->addWidget(count);
    return row;
}

QWidget *TagSidebar::tagRow(const ProjectTag &tag, const ProjectTagStatus &status)
{
    const bool selected = m_signature->selectedTagID == tag.id;
    const QUuid id = tag.id;
    QWidget *row = sidebarRow(tag.name, status, selected, [this, id] { Q_EMIT tagChosen(id); });
    row->setProperty(tagIDProperty, QVariant::fromValue(id));
    ClosureButton *actions =
        symbolButton(row, QStringLiteral("tagActionsButton"), QStringLiteral("ellipsis"),
                     QStringLiteral("Tag actions"), {});
    actions->setAccessibleName(QStringLiteral("Tag actions for ") + tag.name);
    actions->setHandler([sidebar = QPointer(this), actions = QPointer(actions), id] {
        if (sidebar && actions)
            sidebar->showTagActions(actions, id);
    });
    row->layout()->addWidget(actions);
    return row;
}

void TagSidebar::showTagActions(QToolButton *button, const QUuid &tagID)
{
    auto *menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("tagActionsMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction *rename = menu->addAction(QStringLiteral("Rename..."));
    rename->setData(tagID.toString(QUuid::WithoutBraces));
    connect(rename, &QAction::triggered, this, [this, tagID] { Q_EMIT renameRequested(tagID); });
    QAction *remove = menu->addAction(QStringLiteral("Delete..."));
    remove->setData(tagID.toString(QUuid::WithoutBraces));
    connect(remove, &QAction::triggered, this, [this, tagID] { Q_EMIT deleteRequested(tagID); });
    menu->popup(button->mapToGlobal(QPoint(0, button->height())));
}

} // namespace tolvaran
