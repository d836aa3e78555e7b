#include "detail/sections/BehindWarning.h"

#include "detail/DetailStyle.h"
#include "widgets/RoundedPanel.h"
#include "widgets/BrowserStyle.h"
#include "widgets/SymbolIconTable.h"
#include "widgets/SystemColors.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace tolvaran {

namespace {
constexpr int padding = 14;
constexpr double cornerRadius = 8;
constexpr double fillOpacity = 0.08;
constexpr double strokeOpacity = 0.65;
} // namespace

QString behindWarningTitle(qint64 behindCount)
{
    return QStringLiteral("Project is behind by ") + QString::number(behindCount)
           + (behindCount == 1 ? QStringLiteral(" commit") : QStringLiteral(" commits"));
}

QString behindWarningDetail(const std::optional<QString> &upstream)
{
    return QStringLiteral("Compared with ")
           + upstream.value_or(QStringLiteral("the locally known upstream"))
           + QStringLiteral(". Fetch or pull in Git to update the project.");
}

BehindWarning::BehindWarning(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("behindWarning"));
    auto *panel = new RoundedPanel(cornerRadius, this);
    panel->setFill(SystemColors::withAlpha(SystemColors::red(), fillOpacity));
    panel->setStroke(SystemColors::withAlpha(SystemColors::red(), strokeOpacity));
    m_title = DetailStyle::plainLabel(
        BrowserStyle::systemFont(DetailStyle::headlineSize, QFont::DemiBold), panel);
    m_title->setObjectName(QStringLiteral("behindTitle"));
    m_detail =
        DetailStyle::plainLabel(BrowserStyle::systemFont(DetailStyle::subheadlineSize), panel);
    m_detail->setObjectName(QStringLiteral("behindDetail"));
    m_detail->setWordWrap(true);
    BrowserStyle::setTextColor(m_detail, BrowserStyle::secondaryLabelColor(palette()));

    auto *texts = new QVBoxLayout;
    texts->setSpacing(3);
    texts->addWidget(m_title);
    texts->addWidget(m_detail);
    auto *row = new QHBoxLayout(panel);
    row->setContentsMargins(padding, padding, padding, padding);
    row->setSpacing(12);
    auto *symbol = new QLabel(panel);
    symbol->setPixmap(tintedSymbolIcon(QStringLiteral("exclamationmark.triangle.fill"),
                                       SystemColors::red())
                          .pixmap(DetailStyle::title2Size, DetailStyle::title2Size));
    row->addWidget(symbol, 0, Qt::AlignTop);
    row->addLayout(texts, 1);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(panel);
}

void BehindWarning::setStatus(const ProjectGitStatus &status)
{
    m_title->setText(behindWarningTitle(status.behindCount));
    m_detail->setText(behindWarningDetail(status.upstream));
}

QString BehindWarning::title() const
{
    return m_title->text();
}

QString BehindWarning::detail() const
{
    return m_detail->text();
}

} // namespace tolvaran
