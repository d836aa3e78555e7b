#include "app/window/PaginationBar.h"

#include "app/window/BrowserWidgets.h"
#include "widgets/BrowserStyle.h"
#include "widgets/ClosureButton.h"
#include "widgets/FontScale.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>

namespace tolvaran {

using namespace BrowserStyle;
using namespace BrowserWidgets;

PaginationBar::PaginationBar(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("paginationBar"));
    FontScale::follow(this, [this] { setFixedHeight(FontScale::scaled(barHeight)); });
    m_summaryLabel = label(this, QStringLiteral("paginationLabel"), systemFont(11),
                           secondaryLabelColor(palette()));
    m_pageLabel = label(this, QStringLiteral("pageLabel"), monospacedDigitFont(11));
    m_previousButton = symbolButton(this, QStringLiteral("previousButton"),
                                    QStringLiteral("chevron.left"),
                                    QStringLiteral("Previous page"));
    m_previousButton->setHandler([this] { Q_EMIT previousPageRequested(); });
    m_nextButton = symbolButton(this, QStringLiteral("nextButton"),
                                QStringLiteral("chevron.right"), QStringLiteral("Next page"));
    m_nextButton->setHandler([this] { Q_EMIT nextPageRequested(); });
    QStringList sizes;
    for (const ProjectPageSize size : allProjectPageSizes)
        sizes.append(QStringLiteral("Show ") + rawValue(size));
    m_pageSizeButton = popUpButton(this, QStringLiteral("pageSizeButton"), sizes);
    connect(m_pageSizeButton, &QComboBox::activated, this, [this](int index) {
        if (index >= 0 && index < int(allProjectPageSizes.size()))
            Q_EMIT pageSizeChosen(allProjectPageSizes[std::size_t(index)]);
    });
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(16, 0, 16, 0);
    row->setSpacing(8);
    row->addWidget(m_summaryLabel, 0, Qt::AlignVCenter);
    row->addStretch(1);
    row->addWidget(m_previousButton, 0, Qt::AlignVCenter);
    row->addWidget(m_pageLabel, 0, Qt::AlignVCenter);
    row->addWidget(m_nextButton, 0, Qt::AlignVCenter);
    row->addWidget(m_pageSizeButton, 0, Qt::AlignVCenter);
}

void PaginationBar::setPage(const QString &summary, qint64 currentPage, qint64 totalPages,
                            ProjectPageSize pageSize)
{
    m_summaryLabel->setText(summary);
    m_pageLabel->setText(QStringLiteral("Page ") + QString::number(currentPage)
                         + QStringLiteral(" of ") + QString::number(totalPages));
    m_previousButton->setEnabled(currentPage > 1);
    m_nextButton->setEnabled(currentPage < totalPages);
    m_pageSizeButton->setCurrentIndex(choiceIndex(allProjectPageSizes, pageSize));
}

} // namespace tolvaran
