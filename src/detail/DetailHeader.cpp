#include "detail/DetailHeader.h"

#include "detail/DetailStyle.h"
#include "widgets/BrowserStyle.h"
#include "widgets/ElidingLabel.h"
#include "widgets/PlainText.h"
#include "widgets/RenamePrompt.h"
#include "widgets/SymbolIconTable.h"

#include <QBoxLayout>
#include <QPushButton>
#include <QResizeEvent>
#include <QToolButton>

namespace tolvaran {

namespace {
constexpr int nameSize = 22;
constexpr int iconSize = 16;

QToolButton *symbolButton(const QString &symbol, const QString &help, const QString &name,
                          QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(name);
    button->setIcon(symbolIcon(symbol));
    button->setIconSize(QSize(iconSize, iconSize));
    button->setToolTip(help);
    button->setAccessibleName(help);
    button->setFocusPolicy(Qt::StrongFocus);
    return button;
}

QPushButton *textButton(const QString &title, const QString &symbol, const QString &name,
                        QWidget *parent)
{
    auto *button = new QPushButton(symbolIcon(symbol), title, parent);
    button->setObjectName(name);
    button->setFocusPolicy(Qt::StrongFocus);
    button->setAutoDefault(false);
    return button;
}
} // namespace

DetailHeader::DetailHeader(QWidget *parent)
    : QWidget(parent)
    , m_identity(new QWidget(this))
    , m_actions(new QWidget(this))
{
    setObjectName(QStringLiteral("detailHeader"));
    m_back = symbolButton(QStringLiteral("chevron.left"), QStringLiteral("Back to projects"),
                          QStringLiteral("backButton"), m_identity);
    m_name = new ElidingLabel(m_identity);
    m_name->setObjectName(QStringLiteral("projectName"));
    BrowserStyle::systemFont(nameSize, QFont::DemiBold).apply(m_name);
    m_rename = symbolButton(QStringLiteral("pencil"),
                            QStringLiteral("Rename project in Tolvaran and Codex"),
                            QStringLiteral("renameButton"), m_identity);
    m_rename->setAutoRaise(true);
    m_path = new ElidingLabel(m_identity);
    m_path->setObjectName(QStringLiteral("projectPath"));
    BrowserStyle::systemFont(DetailStyle::captionSize).apply(m_path);
    m_path->setElideMode(Qt::ElideMiddle);
    BrowserStyle::setTextColor(m_path, BrowserStyle::secondaryLabelColor(palette()));
    // The name hugs its text, so that the rename button follows it, and gives way when long.
    m_name->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    m_path->setMinimumWidth(1);
    m_path->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    auto *nameRow = new QHBoxLayout;
    nameRow->setSpacing(6);
    nameRow->addWidget(m_name);
    nameRow->addWidget(m_rename);
    nameRow->addStretch(1);
    auto *texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addLayout(nameRow);
    texts->addWidget(m_path);
    auto *identity = new QHBoxLayout(m_identity);
    identity->setContentsMargins(0, 0, 0, 0);
    identity->setSpacing(12);
    identity->addWidget(m_back);
    identity->addLayout(texts, 1);

    m_lastChat = textButton(QStringLiteral("Last Chat"),
                            QStringLiteral("bubble.left.and.text.bubble.right"),
                            QStringLiteral("lastChatButton"), m_actions);
    m_lastChat->setDefault(true); // the prominent one
    m_newChat = textButton(QStringLiteral("New"), QStringLiteral("plus"),
                           QStringLiteral("newChatButton"), m_actions);
    m_newChat->setAccessibleName(QStringLiteral("New chat"));
    m_fileManager = symbolButton(QStringLiteral("folder"),
                                 QStringLiteral("Reveal project in file manager"),
                                 QStringLiteral("fileManagerButton"), m_actions);
    m_terminal = symbolButton(QStringLiteral("terminal"),
                              QStringLiteral("Open Terminal at project"),
                              QStringLiteral("terminalButton"), m_actions);
    auto *actions = new QHBoxLayout(m_actions);
    actions->setContentsMargins(0, 0, 0, 0);
    actions->setSpacing(8);
    for (QWidget *button : {static_cast<QWidget *>(m_lastChat), static_cast<QWidget *>(m_newChat),
                            static_cast<QWidget *>(m_fileManager),
                            static_cast<QWidget *>(m_terminal)})
        actions->addWidget(button);

    m_layout = new QBoxLayout(QBoxLayout::LeftToRight, this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(identityActionsSpacing);
    m_layout->addWidget(m_identity, 1);
    m_space = new QSpacerItem(minimumFlexibleSpace, 0, QSizePolicy::Minimum,
                              QSizePolicy::Minimum);
    m_layout->addItem(m_space);
    m_layout->addWidget(m_actions, 0, Qt::AlignVCenter);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);

    connect(m_back, &QToolButton::clicked, this, &DetailHeader::backRequested);
    connect(m_rename, &QToolButton::clicked, this, &DetailHeader::promptToRename);
    connect(m_lastChat, &QPushButton::clicked, this, &DetailHeader::lastChatRequested);
    connect(m_newChat, &QPushButton::clicked, this, &DetailHeader::newChatRequested);
    connect(m_fileManager, &QToolButton::clicked, this, &DetailHeader::fileManagerRequested);
    connect(m_terminal, &QToolButton::clicked, this, &DetailHeader::terminalRequested);
}

void DetailHeader::setProject(const QString &name, const QString &path)
{
    if (name == m_name->text() && path == m_path->text())
        return;
    m_name->setText(name);
    setPlainToolTip(m_name, name);
    m_path->setText(path);
    setPlainToolTip(m_path, path);
    updateArrangement();
}

QString DetailHeader::name() const
{
    return m_name->text();
}

QString DetailHeader::path() const
{
    return m_path->text();
}

QList<QWidget *> DetailHeader::controls() const
{
    return {m_back, m_rename, m_lastChat, m_newChat, m_fileManager, m_terminal};
}

void DetailHeader::promptToRename()
{
    RenamePrompt::open(m_rename, m_name->text(), m_renameAllowed, renameFieldWidth,
                       [header = QPointer(this)](const QString &name) {
                           if (header)
                               Q_EMIT header->renameRequested(name);
                       });
}

void DetailHeader::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    updateArrangement();
}

void DetailHeader::updateArrangement()
{
    // The name asks for its whole width, so the actions go below it as soon as it would be
    // cut beside them.
    const int nameWidth = m_name->sizeHint().width() + m_rename->sizeHint().width() + 6;
    const int pathWidth = m_path->sizeHint().width();
    const int identityWidth = m_back->sizeHint().width() + 12 + std::max(nameWidth, pathWidth);
    const int needed = identityWidth + 2 * identityActionsSpacing + minimumFlexibleSpace
                       + m_actions->sizeHint().width();
    const bool stacked = width() < needed;
    if (stacked == m_isStacked)
        return;
    m_isStacked = stacked;
    m_layout->setDirection(stacked ? QBoxLayout::TopToBottom : QBoxLayout::LeftToRight);
    m_layout->setSpacing(stacked ? stackedSpacing : identityActionsSpacing);
    m_space->changeSize(stacked ? 0 : minimumFlexibleSpace, 0, QSizePolicy::Minimum,
                        QSizePolicy::Minimum);
    m_layout->setAlignment(m_actions, stacked ? Qt::AlignLeft : Qt::AlignVCenter);
    m_layout->invalidate();
    updateGeometry();
}

} // namespace tolvaran
