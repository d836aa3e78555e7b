#include "app/tags/TagSidebarHost.h"

#include "app/cards/ReadingOrderFocus.h"
#include "app/tags/TagDeletionPrompt.h"
#include "app/tags/TagRenameDialog.h"
#include "app/tags/TagSidebar.h"
#include "coordinator/ProjectListViewModel.h"
#include "widgets/BrowserStyle.h"
#include "widgets/FontScale.h"

#include <QApplication>
#include <QDialog>
#include <QFrame>
#include <QGraphicsDropShadowEffect>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMessageBox>

namespace tolvaran {

namespace {

std::optional<ProjectTag> tagWithID(const QList<ProjectTag> &tags, const QUuid &tagID)
{
    for (const ProjectTag &tag : tags) {
        if (tag.id == tagID)
            return tag;
    }
    return std::nullopt;
}

} // namespace

TagSidebarHost::TagSidebarHost(ProjectListViewModel &viewModel, QWidget &browser,
                               QHBoxLayout &rootRow, int sidebarWidth, int dockingWidth)
    : QObject(&browser)
    , m_viewModel(viewModel)
    , m_browser(browser)
    , m_rootRow(rootRow)
    , m_sidebarWidth(sidebarWidth)
    , m_dockingWidth(dockingWidth)
    , m_sidebar(new TagSidebar(&browser))
{
    ProjectListViewModel &model = m_viewModel;
    connect(m_sidebar, &TagSidebar::hideRequested, this,
            [&model] { model.setTagSidebarVisible(false); });
    connect(m_sidebar, &TagSidebar::addRequested, this, &TagSidebarHost::addTag);
    // The coordinator re-filters from the first page on every assignment.
    connect(m_sidebar, &TagSidebar::allProjectsChosen, this,
            [&model] { model.setSelectedTagID(std::nullopt); });
    connect(m_sidebar, &TagSidebar::tagChosen, this,
            [&model](const QUuid &tagID) { model.setSelectedTagID(tagID); });
    connect(m_sidebar, &TagSidebar::renameRequested, this, &TagSidebarHost::renameTag);
    connect(m_sidebar, &TagSidebar::deleteRequested, this, &TagSidebarHost::deleteTag);
    // Keys its controls leave alone reach the sidebar.
    m_sidebar->installEventFilter(this);

    m_divider = new QFrame(&browser);
    m_divider->setObjectName(QStringLiteral("sidebarDivider"));
    m_divider->setFrameShape(QFrame::VLine);
    m_divider->setFrameShadow(QFrame::Plain);
    m_divider->setFixedWidth(1);
    BrowserStyle::setTextColor(m_divider, BrowserStyle::tertiaryLabelColor(m_divider->palette()));
}

TagSidebarHost::~TagSidebarHost()
{
    // Out of the view tree they are ours to delete; in it, the browser's.
    if (m_sidebar->parent() != &m_browser)
        delete m_sidebar;
    if (m_divider->parent() != &m_browser)
        delete m_divider;
}

TagSidebarHost::Placement TagSidebarHost::placement() const
{
    if (m_sidebar->parent() != &m_browser)
        return Placement::hidden;
    return m_floating ? Placement::floating : Placement::docked;
}

bool TagSidebarHost::eventFilter(QObject *watched, QEvent *event)
{
    // The floating sidebar covers the cards: Escape puts it away. Docked, it covers nothing.
    if (watched == m_sidebar && m_floating && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier) {
            m_viewModel.setTagSidebarVisible(false);
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void TagSidebarHost::returnFocus()
{
    for (QWidget *target : {m_opener.data(), m_toggle.data()}) {
        if (target && target->isVisible() && target->isEnabled()) {
            target->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
}

void TagSidebarHost::updatePlacement()
{
    const bool visible = m_viewModel.isTagSidebarVisible();
    const bool overlay = visible && m_browser.width() < FontScale::scaled(m_dockingWidth);
    const bool docked = m_rootRow.indexOf(m_sidebar) >= 0;
    const bool wasHidden = placement() == Placement::hidden;
    QWidget *focused = QApplication::focusWidget();
    if (visible && wasHidden)
        m_opener = focused && m_browser.isAncestorOf(focused) ? focused : nullptr;

    if (!visible) {
        // Hiding it hands the focus on along the chain, to whatever comes next.
        const bool heldFocus = m_sidebar->isAncestorOf(focused);
        m_floating = false;
        m_sidebar->setGraphicsEffect(nullptr);
        if (docked) {
            m_rootRow.removeWidget(m_sidebar);
            m_rootRow.removeWidget(m_divider);
        }
        // Out of the view tree; the destructor deletes them while they are.
        m_sidebar->hide();
        m_sidebar->setParent(nullptr);
        m_divider->hide();
        m_divider->setParent(nullptr);
        if (heldFocus)
            returnFocus();
        return;
    }

    if (overlay) {
        if (m_floating && m_sidebar->parent() == &m_browser) {
            placeFloating();
            return;
        }
        if (docked) {
            m_rootRow.removeWidget(m_sidebar);
            m_rootRow.removeWidget(m_divider);
        }
        m_divider->hide();
        m_divider->setParent(nullptr);
        m_sidebar->setParent(&m_browser);
        auto *shadow = new QGraphicsDropShadowEffect(m_sidebar);
        shadow->setColor(QColor(0, 0, 0, qRound(0.28 * 255)));
        shadow->setOffset(2, 0);
        shadow->setBlurRadius(8);
        m_sidebar->setGraphicsEffect(shadow);
        m_floating = true;
        placeFloating();
        m_sidebar->show();
        m_sidebar->raise();
        takeCoveredFocus();
        return;
    }

    if (!docked || m_floating) {
        m_sidebar->setGraphicsEffect(nullptr);
        if (m_floating)
            m_sidebar->setParent(nullptr);
        m_rootRow.insertWidget(0, m_sidebar);
        m_rootRow.insertWidget(1, m_divider);
        m_sidebar->show();
        m_divider->show();
        m_floating = false;
    }
}

std::optional<QList<QWidget *>> TagSidebarHost::focusChain() const
{
    // What lies under it shows nothing of a focus it would take.
    if (placement() != Placement::floating)
        return std::nullopt;
    return ReadingOrderFocus::stops(m_sidebar);
}

void TagSidebarHost::takeCoveredFocus()
{
    // A control the sidebar hides would hold a focus nobody sees (the toggle that showed it,
    // a card's button): its first control takes it. One that still shows keeps it, so that
    // the search field keeps what the user types as the window narrows.
    QWidget *focused = QApplication::focusWidget();
    if (!focused || !m_browser.isAncestorOf(focused) || m_sidebar->isAncestorOf(focused))
        return;
    if (!m_sidebar->geometry().contains(
            QRect(focused->mapTo(&m_browser, QPoint()), focused->size())))
        return;
    if (QWidget *first = ReadingOrderFocus::stops(m_sidebar).value(0))
        first->setFocus(Qt::OtherFocusReason);
}

void TagSidebarHost::placeFloating()
{
    // Pinned to the browser's leading, top and bottom edges, at its fixed width.
    m_sidebar->setGeometry(0, 0, FontScale::scaled(m_sidebarWidth), m_browser.height());
}

void TagSidebarHost::render()
{
    SidebarSignature signature;
    signature.tags = m_viewModel.tags();
    for (const ProjectTag &tag : signature.tags)
        signature.statuses.insert(tag.id, m_viewModel.projectStatus(tag.id));
    signature.selectedTagID = m_viewModel.selectedTagID();
    signature.allProjectsStatus = m_viewModel.projectStatus(std::nullopt);
    m_sidebar->setSignature(signature);

    // A tag error that no request saw shows where the tags are edited; one that went away (a
    // later change was applied) goes with it.
    const std::optional<QString> &error = m_viewModel.tagErrorMessage();
    if (error != m_lastTagError) {
        m_lastTagError = error;
        m_sidebar->setMessage(error);
    }
}

void TagSidebarHost::addTag(const QString &name)
{
    m_viewModel.addTag(name);
    // A refused name keeps its text in the field, with the reason right below it.
    m_lastTagError = m_viewModel.tagErrorMessage();
    m_sidebar->setMessage(m_lastTagError);
    if (!m_lastTagError)
        m_sidebar->clearNewTagText();
}

void TagSidebarHost::renameTag(const QUuid &tagID)
{
    const std::optional<ProjectTag> tag = tagWithID(m_viewModel.tags(), tagID);
    if (!tag)
        return;
    // The dialog keeps only the id; the tag is looked up again when the user confirms.
    auto submit = [weakHost = QPointer(this), tagID](const QString &name)
        -> std::optional<QString> {
        TagSidebarHost *host = weakHost.data();
        if (!host || !tagWithID(host->m_viewModel.tags(), tagID))
            return std::nullopt; // nothing left to rename: the dialog just closes
        host->m_viewModel.renameTag(tagID, name);
        host->m_lastTagError = host->m_viewModel.tagErrorMessage();
        return host->m_lastTagError;
    };
    auto *dialog = new TagRenameDialog(tag->name, std::move(submit), &m_browser);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    returnFocusWhenClosed(dialog, tagID);
    dialog->open();
}

void TagSidebarHost::deleteTag(const QUuid &tagID)
{
    const std::optional<ProjectTag> tag = tagWithID(m_viewModel.tags(), tagID);
    if (!tag)
        return;
    QDialog *prompt =
        openTagDeletionPrompt(&m_browser, tag->name, [weakHost = QPointer(this), tagID] {
            if (TagSidebarHost *host = weakHost.data())
                host->m_viewModel.deleteTag(tagID);
        });
    returnFocusWhenClosed(prompt, tagID);
}

void TagSidebarHost::returnFocusWhenClosed(QDialog *prompt, const QUuid &tagID)
{
    // Left alone, the window's focus would go back to where it was before the prompt opened:
    // a control clicked before the tag's menu (whose button takes no focus from a click). A
    // tag renamed or deleted gets new rows later, which keep the focus where it is put here.
    connect(prompt, &QDialog::finished, this, [this, tagID] {
        QWidget *opener = m_sidebar->tagActionsButton(tagID);
        if (opener && opener->isVisible())
            opener->setFocus(Qt::OtherFocusReason);
    });
}

} // namespace tolvaran
