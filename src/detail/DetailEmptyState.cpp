#include "detail/DetailEmptyState.h"

#include "detail/DetailStyle.h"
#include "widgets/RoundedPanel.h"
#include "widgets/BrowserStyle.h"

#include <QHBoxLayout>
#include <QLabel>

namespace tolvaran {

namespace {
constexpr int padding = 16;
constexpr double cornerRadius = 8;
} // namespace

DetailEmptyState::DetailEmptyState(const QString &text, const QString &symbol, QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("detailEmptyState"));
    auto *panel = new RoundedPanel(cornerRadius, this);
    auto *row = new QHBoxLayout(panel);
    row->setContentsMargins(padding, padding, padding, padding);
    row->setSpacing(6);
    row->addWidget(DetailStyle::symbolLabel(symbol, DetailStyle::subheadlineSize, panel));
    m_text = DetailStyle::plainLabel(BrowserStyle::systemFont(DetailStyle::subheadlineSize),
                                     panel, text);
    m_text->setObjectName(QStringLiteral("emptyStateText"));
    BrowserStyle::setTextColor(m_text, BrowserStyle::secondaryLabelColor(palette()));
    row->addWidget(m_text, 1);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(panel);
}

QString DetailEmptyState::text() const
{
    return m_text->text();
}

} // namespace tolvaran
