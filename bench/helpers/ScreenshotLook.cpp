#include "helpers/ScreenshotLook.h"

#include "widgets/FocusIndicatorStyle.h"

#include <QApplication>
#include <QFont>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>

namespace tolvaran::fixtures::bench {

namespace {

QPalette fusionDarkPalette()
{
    QPalette palette;
    const QColor window(53, 53, 53);
    const QColor text(230, 230, 230);
    const QColor disabled(127, 127, 127);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, QColor(35, 35, 35));
    palette.setColor(QPalette::AlternateBase, window);
    palette.setColor(QPalette::ToolTipBase, QColor(25, 25, 25));
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, window);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::BrightText, Qt::red);
    palette.setColor(QPalette::Link, QColor(42, 130, 218));
    palette.setColor(QPalette::Highlight, QColor(42, 130, 218));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::PlaceholderText, disabled);
    for (const QPalette::ColorRole role :
         {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, disabled);
    return palette;
}

} // namespace

void useFusionLook(bool dark)
{
    // As the program draws it: Fusion with its focus indicator.
    QApplication::setStyle(
        new FocusIndicatorStyle(QStyleFactory::create(QStringLiteral("Fusion"))));
    QApplication::setPalette(dark ? fusionDarkPalette()
                                  : QApplication::style()->standardPalette());
    // The font a desktop set to larger text would give, when the screenshot asks for one.
    bool isNumber = false;
    const double points = qEnvironmentVariable("TOLVARAN_FONT_POINTS").toDouble(&isNumber);
    if (isNumber && points > 0) {
        QFont font = QApplication::font();
        font.setPointSizeF(points);
        QApplication::setFont(font);
    }
}

} // namespace tolvaran::fixtures::bench
