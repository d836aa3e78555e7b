#include "team_screens/TeamScreenStyle.h"

#include "widgets/BrowserStyle.h"
#include "widgets/SymbolIconTable.h"
#include "widgets/SystemColors.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

namespace tolvaran::TeamScreenStyle {

QLabel *secondaryCaption(QWidget *parent, const QString &text)
{
    QLabel *label = plainLabel(BrowserStyle::systemFont(captionSize), parent, text);
    label->setWordWrap(true);
    BrowserStyle::setTextColor(label, BrowserStyle::secondaryLabelColor(parent->palette()));
    return label;
}

QWidget *headlineTitle(const QString &text, const QString &symbol, QWidget *parent)
{
    auto *title = new QWidget(parent);
    auto *row = new QHBoxLayout(title);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    row->addWidget(symbolLabel(symbol, symbolSize, title));
    row->addWidget(plainLabel(BrowserStyle::systemFont(headlineSize, QFont::DemiBold), title,
                              text));
    row->addStretch();
    return title;
}

QWidget *notice(const QString &symbol, const QString &text, QWidget *parent)
{
    auto *box = new QWidget(parent);
    auto *row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    row->addWidget(symbolLabel(symbol, captionSize + 3, box,
                               BrowserStyle::secondaryLabelColor(parent->palette())),
                   0, Qt::AlignTop);
    row->addWidget(secondaryCaption(box, text), 1);
    return box;
}

QPushButton *button(const QString &title, QWidget *parent, const QString &symbol)
{
    auto *button = new QPushButton(title, parent);
    if (!symbol.isEmpty())
        button->setIcon(symbolIcon(symbol));
    return button;
}

QProgressBar *busyIndicator(QWidget *parent)
{
    auto *bar = new QProgressBar(parent);
    bar->setRange(0, 0);
    bar->setTextVisible(false);
    bar->setFixedSize(busyIndicatorWidth, busyIndicatorHeight);
    bar->setAccessibleName(QStringLiteral("Working"));
    bar->hide();
    return bar;
}

void showMessage(QLabel *label, const QString &text, bool isError)
{
    label->setText(text);
    BrowserStyle::setTextColor(label, isError ? SystemColors::red() : SystemColors::green());
    label->setVisible(!text.isEmpty());
}

} // namespace tolvaran::TeamScreenStyle
