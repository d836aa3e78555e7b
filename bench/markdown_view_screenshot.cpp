// Shows a Markdown view on a file (or the showcase document of the tests' corpus, or with
// --readme a README-like document whose badges and pictures are files made in a temporary
// image base folder, or one of the tests' tables: --before-after, two 800 by 500 screenshots
// side by side, --long-word, a 300-letter word beside a short column, then short header words
// over a 64-letter hash and over a 96-letter token) in a theme, with a light or dark palette,
// and writes what it shows to a PNG file:
//   markdown_view_screenshot OUTPUT.png [--dark] [--theme basic|github|documentation]
//                            [--width N] [--height N]
//                            [--readme | --before-after | --long-word | FILE]
// A FILE's images resolve against its folder.
#include "markdown_view/MarkdownView.h"
#include "support/BuiltPrograms.h"
#include "support/markdown/MarkdownCorpus.h"
#include "support/markdown/TableDocuments.h"
#include "support/markdown/TestImages.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPalette>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTextStream>

#include <optional>

namespace {

// How long images (files of the image base folder) may take to load before the picture.
constexpr int imageWaitMilliseconds = 1500;

// The tables' documents: the size of the screenshots side by side and the long words'
// letters (a word, a hash and a token).
constexpr QSize tablePictureSize(800, 500);
constexpr int longWordLetters = 300;
constexpr int hashLetters = 64;
constexpr int tokenLetters = 96;

enum class Document { file, showcase, readme, beforeAfter, longWord };

// A badge: two coloured halves, as the badge services draw them, without text.
QByteArray badge(const QString &left, const QString &right, int width)
{
    return QStringLiteral("<svg xmlns='http://www.w3.org/2000/svg' width='%1' height='20'>"
                          "<rect width='%1' height='20' rx='3' fill='%2'/>"
                          "<rect x='%3' width='%4' height='20' rx='3' fill='%5'/></svg>")
        .arg(width)
        .arg(left)
        .arg(width / 2)
        .arg(width - width / 2)
        .arg(right)
        .toUtf8();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A README as projects write them: a row of linked badges, text, a picture, code, a table.
QString readmeDocument(const QString &folder)
{
    writeFile(folder + QStringLiteral("/badges/build.svg"), badge(QStringLiteral("#555"),
                                                                  QStringLiteral("#4c1"), 90));
    writeFile(folder + QStringLiteral("/badges/coverage.svg"),
              badge(QStringLiteral("#555"), QStringLiteral("#dfb317"), 104));
    writeFile(folder + QStringLiteral("/badges/licence.svg"),
              badge(QStringLiteral("#555"), QStringLiteral("#007ec6"), 80));
    writeFile(folder + QStringLiteral("/images/screenshot.png"),
              tolvaran::fixtures::pngImage(QSize(1200, 360), QColor(0x6A, 0x9F, 0xD8)));
    return QStringLiteral(
        "# Sample project\n\n"
        "[![build](badges/build.svg)](https://example.com/ci) "
        "[![coverage](badges/coverage.svg)](https://example.com/coverage) "
        "[![licence](badges/licence.svg)](https://example.com/licence)\n\n"
        "A companion for people who use a coding agent: **projects**, *threads* and "
        "`token usage` at a glance. See the [guide](https://example.com/guide).\n\n"
        "![The main window](images/screenshot.png)\n\n"
        "## Install\n\n"
        "```sh\ncmake --preset release && cmake --build --preset release -j6\n"
        "./build/release/src/tolvaran --a-rather-long-option-that-does-not-fit-the-pane\n```\n\n"
        "## Options\n\n"
        "| Option | Default | Meaning |\n|:--|:-:|--:|\n"
        "| `--theme` | github | The look of rendered Markdown |\n"
        "| `--dark` | off | Dark palette |\n"
        "| `--width` | 860 | Width of the window in pixels |\n"
        "| `--height` | 1400 | Height |\n\n"
        "> Tables, images and code blocks follow the theme.\n\n"
        "- [x] badges side by side\n- [ ] something still to do\n\n"
        "---\n\n"
        "###### Small print\n");
}

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
    tolvaran::fixtures::nameBuiltPictureDecoder();
    QApplication application(argc, argv);
    QStringList arguments = application.arguments().mid(1);
    if (arguments.isEmpty()) {
        QTextStream(stderr) << "usage: markdown_view_screenshot OUTPUT.png [--dark] "
                               "[--width N] [--height N] "
                               "[--readme | --before-after | --long-word | FILE]\n";
        return 2;
    }
    const QString output = arguments.takeFirst();
    bool dark = false;
    Document document = Document::showcase;
    std::optional<QUrl> imageBase;
    tolvaran::markdown::Theme theme = tolvaran::markdown::Theme::basic();
    int width = 860;
    int height = 1400;
    QString text = tolvaran::fixtures::markdown::showcaseDocument();
    while (!arguments.isEmpty()) {
        const QString argument = arguments.takeFirst();
        if (argument == QLatin1String("--dark")) {
            dark = true;
        } else if (argument == QLatin1String("--readme")) {
            document = Document::readme;
        } else if (argument == QLatin1String("--before-after")) {
            document = Document::beforeAfter;
        } else if (argument == QLatin1String("--long-word")) {
            document = Document::longWord;
        } else if (argument == QLatin1String("--theme") && !arguments.isEmpty()) {
            const QString name = arguments.takeFirst();
            if (name == QLatin1String("github")) {
                theme = tolvaran::markdown::Theme::gitHub();
            } else if (name == QLatin1String("documentation")) {
                theme = tolvaran::markdown::Theme::documentation();
            } else if (name != QLatin1String("basic")) {
                QTextStream(stderr) << "unknown theme " << name << '\n';
                return 2;
            }
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
            imageBase = QUrl::fromLocalFile(QFileInfo(argument).absolutePath() + u'/');
            document = Document::file;
        }
    }
    QTemporaryDir images;
    switch (document) {
    case Document::file:
    case Document::showcase:
        break;
    case Document::readme:
        text = readmeDocument(images.path());
        imageBase = QUrl::fromLocalFile(images.path() + u'/');
        break;
    case Document::beforeAfter:
        if (!tolvaran::fixtures::markdown::writeBeforeAfterPictures(images.path(),
                                                                    tablePictureSize)) {
            QTextStream(stderr) << "cannot write the pictures\n";
            return 1;
        }
        text = QStringLiteral("## Screenshots\n\n")
               + tolvaran::fixtures::markdown::beforeAfterTable();
        imageBase = QUrl::fromLocalFile(images.path() + u'/');
        break;
    case Document::longWord:
        text = QStringLiteral("## Checksums\n\n")
               + tolvaran::fixtures::markdown::longWordTable(longWordLetters)
               + QStringLiteral("\n## Keys\n\n")
               + tolvaran::fixtures::markdown::tokenTable(
                   QStringLiteral("Key Hash").split(u' '), hashLetters)
               + QStringLiteral("\n")
               + tolvaran::fixtures::markdown::tokenTable(
                   QStringLiteral("Key SHA Checksum").split(u' '), tokenLetters);
        break;
    }
    using namespace tolvaran::markdown;
    MarkdownView view;
    view.setPalette(dark ? darkPalette() : lightPalette());
    view.setAutoFillBackground(true);
    view.viewport()->setAutoFillBackground(true);
    view.setTextSelectionEnabled(true);
    view.setDocumentMargins(QMarginsF(16, 16, 16, 16));
    view.setTheme(theme);
    view.resize(width, height);
    view.setContent(MarkdownContent(text), std::nullopt, imageBase);
    view.show();
    const QDeadlineTimer deadline(imageWaitMilliseconds);
    while (!deadline.hasExpired())
        application.processEvents(QEventLoop::AllEvents, 50);
    if (!view.grab().save(output)) {
        QTextStream(stderr) << "cannot write " << output << '\n';
        return 1;
    }
    return 0;
}
