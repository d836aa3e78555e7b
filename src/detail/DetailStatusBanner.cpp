#include "detail/DetailStatusBanner.h"

#include "detail/DetailStyle.h"
#include "widgets/BrowserStyle.h"
#include "widgets/FontScale.h"
#include "widgets/SymbolIconTable.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>

namespace tolvaran {

DetailStatusBanner::DetailStatusBanner(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("statusBanner"));
    BrowserStyle::setBackgroundColor(this, palette().color(QPalette::Window));
    m_message = DetailStyle::plainLabel(BrowserStyle::systemFont(DetailStyle::captionSize), this);
    m_message->setObjectName(QStringLiteral("statusMessage"));
    m_message->setWordWrap(true);
    FontScale::follow(m_message, [message = m_message] {
        message->setMaximumHeight(maximumLineCount * message->fontMetrics().lineSpacing());
    });
    m_dismiss = new QToolButton(this);
    m_dismiss->setObjectName(QStringLiteral("dismissButton"));
    m_dismiss->setIcon(symbolIcon(QStringLiteral("xmark")));
    m_dismiss->setToolTip(QStringLiteral("Dismiss"));
    m_dismiss->setAccessibleName(QStringLiteral("Dismiss"));
    m_dismiss->setAutoRaise(true);
    m_dismiss->setFocusPolicy(Qt::StrongFocus);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(14, 8, 14, 8);
    layout->setSpacing(8);
    layout->addWidget(DetailStyle::symbolLabel(QStringLiteral("info.circle"),
                                               DetailStyle::symbolSize, this));
    layout->addWidget(m_message, 1);
    layout->addWidget(m_dismiss);
    connect(m_dismiss, &QToolButton::clicked, this, &DetailStatusBanner::dismissRequested);
    hide();
}

void DetailStatusBanner::setMessage(const std::optional<QString> &message)
{
    m_message->setText(message.value_or(QString()));
    setVisible(message.has_value());
}

QString DetailStatusBanner::message() const
{
    return isHidden() ? QString() : m_message->text();
}

} // namespace tolvaran
