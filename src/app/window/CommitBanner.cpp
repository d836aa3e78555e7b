#include "app/window/CommitBanner.h"

#include "app/window/BrowserWidgets.h"
#include "widgets/BrowserStyle.h"
#include "widgets/ClosureButton.h"
#include "widgets/ElidingLabel.h"
#include "widgets/FontScale.h"
#include "widgets/SymbolIconTable.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace tolvaran {

using namespace BrowserStyle;
using namespace BrowserWidgets;

CommitBanner::CommitBanner(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("commitBanner"));
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    auto *banner = new QWidget(this);
    FontScale::follow(banner,
                      [banner] { banner->setFixedHeight(FontScale::scaled(bannerHeight)); });
    setBackgroundColor(banner, QColor(52, 199, 89, qRound(0.08 * 255)));
    m_title = label(banner, QStringLiteral("commitTitle"), systemFont(12, QFont::DemiBold));
    m_subtitle = elidingLabel(banner, QStringLiteral("commitSubtitle"), systemFont(11),
                              secondaryLabelColor(palette()));
    auto *texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(m_title);
    texts->addWidget(m_subtitle);
    auto *icon = new QLabel(banner);
    icon->setPixmap(symbolIcon(QStringLiteral("point.3.connected.trianglepath.dotted"))
                        .pixmap(16, 16));
    ClosureButton *dismiss = symbolButton(banner, QStringLiteral("commitDismissButton"),
                                          QStringLiteral("xmark"),
                                          QStringLiteral("Dismiss commit notification"));
    dismiss->setHandler([this] { Q_EMIT dismissRequested(); });
    auto *row = new QHBoxLayout(banner);
    row->setContentsMargins(16, 0, 16, 0);
    row->setSpacing(10);
    row->addWidget(icon, 0, Qt::AlignVCenter);
    row->addLayout(texts, 1);
    row->addWidget(dismiss, 0, Qt::AlignVCenter);
    outer->addWidget(banner);
    outer->addWidget(horizontalSeparator(this));
    hide();
}

void CommitBanner::setText(const std::optional<CommitBannerText> &text)
{
    setVisible(text.has_value());
    if (!text)
        return;
    m_title->setText(text->title);
    m_subtitle->setText(text->subtitle);
}

} // namespace tolvaran
