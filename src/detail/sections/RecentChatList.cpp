#include "detail/sections/RecentChatList.h"

#include "detail/DetailEmptyState.h"
#include "detail/DetailStyle.h"
#include "widgets/RoundedPanel.h"
#include "platform/RelativeDateFormatter.h"
#include "widgets/BrowserStyle.h"
#include "widgets/ElidingLabel.h"
#include "widgets/SystemColors.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QStyleOptionFocusRect>
#include <QVBoxLayout>

#include <algorithm>

namespace tolvaran {

namespace {
constexpr int rowsHorizontalPadding = 12;
constexpr int rowVerticalPadding = 10;
constexpr double cornerRadius = 8;
constexpr double hoverOpacity = 0.06;
const QString noMessageText = QStringLiteral("No user message available");

// What a row shows of a chat, besides the date, which is renewed in place.
bool sameRows(const QList<CodexThread> &left, const QList<CodexThread> &right)
{
    return std::equal(left.begin(), left.end(), right.begin(), right.end(),
                      [](const CodexThread &a, const CodexThread &b) {
                          return a.id == b.id && a.displayTitle() == b.displayTitle()
                                 && a.latestUserMessage == b.latestUserMessage
                                 && a.recencyAt == b.recencyAt;
                      });
}
} // namespace

QList<CodexThread> recentChats(const CodexProject &project)
{
    QList<CodexThread> chats = project.threads();
    std::stable_sort(chats.begin(), chats.end(), [](const CodexThread &a, const CodexThread &b) {
        return a.recencyAt > b.recencyAt;
    });
    if (chats.size() > maximumRecentChats)
        chats.resize(maximumRecentChats);
    return chats;
}

RecentChatRow::RecentChatRow(const CodexThread &thread, Timestamp now, QWidget *parent)
    : QAbstractButton(parent)
    , m_threadID(thread.id)
    , m_recencyAt(thread.recencyAt)
{
    setObjectName(QStringLiteral("recentChatRow"));
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover);
    m_title = new ElidingLabel(this);
    m_title->setObjectName(QStringLiteral("chatTitle"));
    BrowserStyle::systemFont(DetailStyle::subheadlineSize, QFont::Medium).apply(m_title);
    m_title->setText(thread.displayTitle());
    m_message = new ElidingLabel(this);
    m_message->setObjectName(QStringLiteral("chatMessage"));
    BrowserStyle::systemFont(DetailStyle::captionSize).apply(m_message);
    m_message->setText(thread.latestUserMessage.value_or(noMessageText));
    BrowserStyle::setTextColor(m_message, BrowserStyle::secondaryLabelColor(palette()));
    // Inside a button a label would take the button's text colour.
    for (QLabel *label : {static_cast<QLabel *>(m_title), static_cast<QLabel *>(m_message)})
        label->setForegroundRole(QPalette::WindowText);
    for (ElidingLabel *label : {m_title, m_message}) {
        label->setMinimumWidth(1);
        label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    m_date = DetailStyle::plainLabel(BrowserStyle::systemFont(DetailStyle::captionSize), this);
    m_date->setObjectName(QStringLiteral("chatDate"));
    BrowserStyle::setTextColor(m_date, BrowserStyle::secondaryLabelColor(palette()));
    m_date->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_date->setForegroundRole(QPalette::WindowText);
    QLabel *arrow =
        DetailStyle::symbolLabel(QStringLiteral("arrow.up.right"), DetailStyle::captionSize, this);
    arrow->setAttribute(Qt::WA_TransparentForMouseEvents);
    setNow(now);
    setAccessibleName(thread.displayTitle());

    auto *texts = new QVBoxLayout;
    texts->setSpacing(3);
    texts->addWidget(m_title);
    texts->addWidget(m_message);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, rowVerticalPadding, 0, rowVerticalPadding);
    layout->setSpacing(12);
    layout->addLayout(texts, 1);
    layout->addWidget(m_date);
    layout->addWidget(arrow);
}

QString RecentChatRow::title() const
{
    return m_title->text();
}

QString RecentChatRow::message() const
{
    return m_message->text();
}

void RecentChatRow::setNow(Timestamp now)
{
    m_date->setText(relativeDateText(m_recencyAt, now));
}

QSize RecentChatRow::sizeHint() const
{
    return layout() ? layout()->sizeHint() : QAbstractButton::sizeHint();
}

void RecentChatRow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (underMouse() || isDown()) {
        painter.fillRect(rect(), SystemColors::withAlpha(SystemColors::label(palette()),
                                                         isDown() ? 2 * hoverOpacity
                                                                  : hoverOpacity));
    }
    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}

RecentChatList::RecentChatList(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("recentChatList"));
    m_rowsPanel = new RoundedPanel(cornerRadius, this);
    m_rowsPanel->setObjectName(QStringLiteral("chatRows"));
    m_rowsLayout = new QVBoxLayout(m_rowsPanel);
    m_rowsLayout->setContentsMargins(rowsHorizontalPadding, 0, rowsHorizontalPadding, 0);
    m_rowsLayout->setSpacing(0);
    m_empty = new DetailEmptyState(QStringLiteral("No recent chats found"),
                                   QStringLiteral("text.bubble"), this);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    const QString symbol = QStringLiteral("bubble.left.and.text.bubble.right");
    layout->addWidget(DetailStyle::sectionTitle(QStringLiteral("Recent Chats"), symbol, this));
    layout->addWidget(m_rowsPanel);
    layout->addWidget(m_empty);
    m_rowsPanel->hide();
}

void RecentChatList::setProject(const CodexProject &project, Timestamp now)
{
    const QList<CodexThread> chats = recentChats(project);
    if (sameRows(chats, m_shownChats)) {
        for (RecentChatRow *row : rows())
            row->setNow(now);
    } else {
        rebuildRows(chats, now);
    }
    m_rowsPanel->setVisible(!chats.isEmpty());
    m_empty->setVisible(chats.isEmpty());
}

QList<RecentChatRow *> RecentChatList::rows() const
{
    return m_rowsPanel->findChildren<RecentChatRow *>(Qt::FindDirectChildrenOnly);
}

bool RecentChatList::isEmptyStateShown() const
{
    return !m_empty->isHidden();
}

void RecentChatList::rebuildRows(const QList<CodexThread> &chats, Timestamp now)
{
    while (QLayoutItem *item = m_rowsLayout->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    for (qsizetype index = 0; index < chats.size(); ++index) {
        if (index > 0)
            m_rowsLayout->addWidget(DetailStyle::divider(m_rowsPanel));
        auto *row = new RecentChatRow(chats.at(index), now, m_rowsPanel);
        connect(row, &QAbstractButton::clicked, this,
                [this, id = chats.at(index).id] { Q_EMIT chatChosen(id); });
        m_rowsLayout->addWidget(row);
    }
    m_shownChats = chats;
}

} // namespace tolvaran
