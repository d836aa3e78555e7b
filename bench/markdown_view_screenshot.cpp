// Shows a Markdown view on a file (or the showcase document of the tests' corpus) with a
// light or dark palette and writes what it shows to a PNG file:
//   markdown_view_screenshot OUTPUT.png [--dark] [--width N] [--height N] [FILE]
#include "markdown_view/MarkdownView.h"
#include "support/MarkdownCorpus.h"

#include <QApplication>
#include <QFile>
#include <QPalette>
#include <QPixmap>
#include <QTextStream>

namespace {

QPalette darkPalette()
{
    QPalette palette;
    const QColor window(0x1E, 0x1E, 0x22);
    const QColor text(0xE8, 0xE8, 0xEA);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::Base, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Highlight, QColor(0x2F, 0x5F, 0xA8));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, QColor(0x4C, 0x8E, 0xF8));
    return palette;
}

QPalette lightPalette()
{
    QPalette palette;
    palette.setColor(QPalette::Window, Qt::white);
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::WindowText, QColor(0x1D, 0x1D, 0x1F));
    palette.setColor(QPalette::Text, QColor(0x1D, 0x1D, 0x1F));
    return palette;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QStringList arguments = application.arguments().mid(1);
    if (arguments.isEmpty()) {
        QTextStream(stderr) << "usage: markdown_view_screenshot OUTPUT.png [--dark] "
                               "[--width N] [--height N] [FILE]\n";
        return 2;
    }
    const QString output = arguments.takeFirst();
    bool dark = false;
    int width = 860;
    int height = 1400;
    QString text = tolvaran::fixtures::markdown::showcaseDocument();
    while (!arguments.isEmpty()) {
        const QString argument = arguments.takeFirst();
        if (argument == QLatin1String("--dark")) {
            dark = true;
        } else if (argument == QLatin1String("--width") && !arguments.isEmpty()) {
            width = arguments.takeFirst().toInt();
        } else if (argument == QLatin1String("--height") && !arguments.isEmpty()) {
            height = arguments.takeFirst().toInt();
        } else {
            QFile file(argument);
            if (!file.open(QIODevice::ReadOnly)) {
                QTextStream(stderr) << "cannot read " << argument << '\n';
                return 1;
            }
            text = QString::fromUtf8(file.readAll());
        }
    }
    using namespace tolvaran::markdown;
    MarkdownView view;
    view.setPalette(dark ? darkPalette() : lightPalette());
    view.setAutoFillBackground(true);
    view.viewport()->setAutoFillBackground(true);
    view.setTextSelectionEnabled(true);
    view.setDocumentMargins(QMarginsF(16, 16, 16, 16));
    view.resize(width, height);
    view.setContent(MarkdownContent(text));
    view.show();
    application.processEvents();
    if (!view.grab().save(output)) {
        QTextStream(stderr) << "cannot write " << output << '\n';
        return 1;
    }
    return 0;
}
