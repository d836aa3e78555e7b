#pragma once

#include "app/cards/AdaptiveCardFlowLayout.h"

#include <QAbstractScrollArea>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <optional>

namespace tolvaran {

class ProjectCardView;

// The scrolling grid of project cards: one section of items identified by project id, laid
// out by an AdaptiveCardFlowLayout. Only the cards that meet the viewport (and one row
// beyond each edge) exist as widgets; a card that leaves the view goes back to a pool and is
// configured afresh, through the item provider, for the next item that needs it. A page of
// thousands of projects therefore costs a few dozen cards, and scrolling configures only the
// rows that come into view.
//
// Cards grow with the text size (FontScale). A card whose content needs more height than the
// others (its status items on further lines) makes every card of the page that tall, so rows
// stay even; a new page starts again from the usual height. The card holding the keyboard
// focus is scrolled into view (but not where the window's opening alone gives it the focus),
// kept in view through a new size, and kept (out of view) while the user scrolls away from it,
// so the focus never leaves it unasked. Configuring a card again leaves the focus where it is.
// The focus the window's opening gives a control in the grid (one of the leading widget's,
// which the first card's row may then leave above the view) goes on to the first control
// shown whole wherever the grid's own moves leave it out of view, until the user moves the
// focus or scrolls.
//
// A leading widget, when there is one, sits above the cards, as wide as the viewport and as
// high as it asks to be, and scrolls with them (the browser's bars on a short window). What
// the top of the view shows stays there while the leading widget comes, goes or changes its
// height, and while the scroll range changes: the first card, until the user scrolls; the
// cards the user scrolled to; the part of the leading widget the user (or the focus) brought
// into view.
class ProjectCardGrid final : public QAbstractScrollArea
{
    Q_OBJECT

public:
    // Configures `card` for the item with the given project id.
    using ItemProvider = std::function<void(ProjectCardView &card, const QString &id)>;

    // Rows made beyond each edge of the viewport, so that a scroll step finds them ready.
    static constexpr int overscanRows = 1;

    explicit ProjectCardGrid(QWidget *parent = nullptr);
    ~ProjectCardGrid() override;

    void setItemProvider(ItemProvider provider);

    // The item ids in display order.
    const QStringList &identifiers() const { return m_identifiers; }
    // Replaces every item: the grid scrolls to its first card (unless the view shows the
    // leading widget, which stays) and every card in view is configured anew through the
    // provider. A card holding the focus keeps it, with its item, while the item is among
    // the new ones.
    void replaceItems(const QStringList &identifiers);
    // Configures again the cards of these item positions that are in view; the others are
    // configured when they come into view. The scroll position stays.
    void reloadItems(const QList<qsizetype> &indexes);

    // Makes `widget` (or none) the leading widget, a child of the viewport; the one it
    // replaces stays where it is, for the caller to place. The cards at the top of the view
    // stay there.
    void setLeadingWidget(QWidget *widget);
    QWidget *leadingWidget() const { return m_leading; }

    const AdaptiveCardFlowLayout &cardLayout() const { return m_layout; }
    // The vertical scroll offset of the content, in pixels.
    int scrollOffset() const;
    void setScrollOffset(int offset);
    // The card showing item `index`, when it is in view.
    ProjectCardView *cardAt(qsizetype index) const;
    // Scrolls the card of the item with this id into view and gives the focus to the control
    // `pick` chooses of it (none: nothing), for `reason`. A card exists only once the grid has
    // its width: until then the request waits, and a later request replaces it. An id no
    // longer among the items by then is dropped.
    using ControlPicker = std::function<QWidget *(ProjectCardView &card)>;
    void focusItem(const QString &id, ControlPicker pick,
                   Qt::FocusReason reason = Qt::OtherFocusReason);

Q_SIGNALS:
    // A card was configured for the item with this id (the provider ran).
    void cardConfigured(const QString &id);

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool viewportEvent(QEvent *event) override;

private:
    void synchronizeViewport();
    // Lays the cards out again after their size changed (the text size, a taller card).
    void relayout();
    // Carries out the waiting focusItem() request, once the cards can be laid out.
    void focusPendingItem();
    // Scrolls so that the card of item `index` shows, and lays the cards out.
    void scrollItemIntoView(qsizetype index);
    // The item whose card holds the keyboard focus, else -1.
    qsizetype focusedItem() const;
    // Scrolls the card holding `focused` into view, when it is one of ours.
    void revealFocus(QWidget *focused);
    // Follows the focus as it moves to `focused` (none: it left the window).
    void followFocus(QWidget *focused);
    void stopAwaitingOpeningFocus();
    // Hands the focus the window's opening gave on to the first control shown whole, where
    // it is not.
    void keepOpeningFocusInView();
    // Takes the leading widget's height afresh; true when it changed.
    bool measureLeadingWidget();
    // Sets the scroll range and scrolls to what the view's top is to show.
    void updateScrollRange();
    // Scrolls to `offset` as the user or the focus asks: the view's top is kept there.
    void scrollTo(int offset);
    // Takes what the view's top shows from the scroll offset.
    void recordViewTop();
    void layoutCards();
    void configure(ProjectCardView &card, qsizetype index);
    void recycleAll();

    ItemProvider m_provider;
    QStringList m_identifiers;
    AdaptiveCardFlowLayout m_layout;
    double m_viewportWidth = 0.0;
    // A configured card asked for more height than the cards have: lay them out again.
    bool m_cardHeightGrew = false;
    QHash<qsizetype, ProjectCardView *> m_shown; // item index to its card
    QList<ProjectCardView *> m_pool;             // cards in no item's service, hidden
    QMetaObject::Connection m_focusFollower;
    struct FocusRequest
    {
        QString id;
        ControlPicker pick;
        Qt::FocusReason reason;
    };
    std::optional<FocusRequest> m_focusRequest;
    QPointer<QWidget> m_leading;
    int m_leadingHeight = 0; // the cards start below it
    // What the view's top shows: a place in the leading widget, or one so many pixels below
    // the top of the cards' section.
    struct ViewTop
    {
        bool inLeading = false;
        int offset = 0;
    };
    ViewTop m_viewTop;
    // From the activation of a window without a focused control to the focus it brings, or to
    // the end of that turn of the event loop, the grid watches the application's events.
    bool m_awaitingOpeningFocus = false;
    // The control that activation gave the focus, until the focus moves on.
    QPointer<QWidget> m_focusFromOpening;
    // Until the user scrolls, that focus is kept on a control in view.
    bool m_keepsOpeningFocusInView = false;
    // Set while a card is configured: a chip that goes hands its focus on within the card,
    // which says nothing of where the user wants to look.
    bool m_configuring = false;
    // Set while the grid itself moves the scroll bar to keep m_viewTop (a new range or leading
    // height): such a move says nothing of where the user wants to be.
    bool m_keepingViewTop = false;
};

} // namespace tolvaran
