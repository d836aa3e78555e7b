#include "support/markdown/MarkdownDocumentGenerator.h"

#include <QRandomGenerator>

namespace tolvaran::fixtures::markdown {

namespace {

class Generator
{
public:
    explicit Generator(quint32 seed)
        : m_random(seed)
    {
    }

    GeneratedDocument document(int blockCount)
    {
        QStringList lines;
        for (int block = 0; block < blockCount; ++block) {
            lines += this->block(0);
            lines += QString();
        }
        return {lines.join(QLatin1Char('\n')), m_words};
    }

private:
    int below(int bound) { return int(m_random.bounded(bound)); }

    QString word()
    {
        const QString next =
            QStringLiteral("w%1").arg(m_words.size(), 6, 10, QLatin1Char('0'));
        m_words.append(next);
        return next;
    }

    // Two words and a blank between them, in this order.
    QString twoWords()
    {
        const QString first = word();
        return first + QLatin1Char(' ') + word();
    }

    // One inline element holding words.
    QString inlineElement()
    {
        switch (below(9)) {
        case 0:
            return QLatin1Char('*') + word() + QLatin1Char('*');
        case 1:
            return QStringLiteral("**") + word() + QStringLiteral("**");
        case 2:
            return QStringLiteral("~~") + word() + QStringLiteral("~~");
        case 3:
            return QLatin1Char('`') + word() + QLatin1Char('`');
        case 4: {
            const QString first = word();
            const QString second = word();
            return QStringLiteral("[*%1* `%2`](https://example.com/page)").arg(first, second);
        }
        case 5:
            return QStringLiteral("<span>") + word() + QStringLiteral("</span>");
        case 6:
            return QStringLiteral("***") + word() + QStringLiteral("** in*");
        default:
            return word();
        }
    }

    // Inline content on one or more lines (soft and hard breaks between them).
    QStringList inlineLines(bool allowBreaks)
    {
        QStringList lines{QString()};
        const int count = 1 + below(6);
        for (int element = 0; element < count; ++element) {
            if (!lines.last().isEmpty()) {
                const int separator = allowBreaks ? below(8) : 0;
                if (separator == 1)
                    lines.append(QString()); // a soft break
                else if (separator == 2) {
                    lines.last() += QStringLiteral("  "); // a hard break
                    lines.append(QString());
                } else {
                    lines.last() += QLatin1Char(' ');
                }
            }
            lines.last() += inlineElement();
        }
        return lines;
    }

    static QStringList indented(const QStringList &lines, const QString &first,
                                const QString &rest)
    {
        QStringList result;
        for (qsizetype index = 0; index < lines.size(); ++index) {
            const QString &prefix = index == 0 ? first : rest;
            result.append(lines[index].isEmpty() && prefix.trimmed().isEmpty()
                              ? QString()
                              : prefix + lines[index]);
        }
        return result;
    }

    QStringList listItem(int depth, const QString &marker)
    {
        QStringList content = inlineLines(true);
        if (depth < 2 && below(4) == 0) {
            content += QString();
            content += nestedBlock(depth + 1);
        }
        return indented(content, marker, QString(marker.size(), QLatin1Char(' ')));
    }

    QStringList nestedBlock(int depth)
    {
        // Only kinds that nest cleanly inside items and quotes.
        switch (below(4)) {
        case 0:
            return list(depth);
        case 1:
            return {QStringLiteral("```"), twoWords(), QStringLiteral("```")};
        case 2:
            return indented(inlineLines(true), QStringLiteral("> "), QStringLiteral("> "));
        default:
            return inlineLines(true);
        }
    }

    QStringList list(int depth)
    {
        QStringList lines;
        const int kind = below(3);
        const int items = 1 + below(3);
        const bool loose = below(3) == 0;
        const int start = below(2) == 0 ? 1 : below(1000);
        for (int item = 0; item < items; ++item) {
            if (loose && item > 0)
                lines += QString();
            QString marker = QStringLiteral("- ");
            if (kind == 1)
                marker = QStringLiteral("%1. ").arg(start + item);
            else if (kind == 2)
                marker = below(2) ? QStringLiteral("- [x] ") : QStringLiteral("- [ ] ");
            lines += listItem(depth, marker);
        }
        return lines;
    }

    QStringList table()
    {
        const int columns = 1 + below(4);
        const int rows = 1 + below(3);
        QStringList lines;
        for (int row = 0; row <= rows; ++row) {
            QString line = QStringLiteral("|");
            for (int column = 0; column < columns; ++column) {
                line += QLatin1Char(' ')
                        + (below(3) == 0 ? QLatin1Char('`') + word() + QLatin1Char('`')
                                         : word())
                        + QStringLiteral(" |");
            }
            lines += line;
            if (row == 0) {
                QString delimiter = QStringLiteral("|");
                for (int column = 0; column < columns; ++column)
                    delimiter += column % 2 ? QStringLiteral(" ---: |")
                                            : QStringLiteral(" --- |");
                lines += delimiter;
            }
        }
        return lines;
    }

    QStringList block(int depth)
    {
        switch (below(11)) {
        case 0:
            return indented(inlineLines(false),
                            QString(1 + below(6), QLatin1Char('#')) + QLatin1Char(' '), QString());
        case 1: {
            QStringList quoted = nestedBlock(depth + 1);
            return indented(quoted, QStringLiteral("> "), QStringLiteral("> "));
        }
        case 2:
            return {QStringLiteral("```text"), word(), QString(), twoWords(),
                    QStringLiteral("```")};
        case 3:
            return {QStringLiteral("    ") + word(), QStringLiteral("      ") + word()};
        case 4:
            return {QStringLiteral("<div>") + word() + QStringLiteral("</div>")};
        case 5:
        case 6:
            return list(depth);
        case 7:
            return table();
        case 8:
            return {QStringLiteral("---")};
        case 9:
            return {QStringLiteral("![") + word()
                    + QStringLiteral("](https://example.com/i.png)")};
        default:
            return inlineLines(true);
        }
    }

    QRandomGenerator m_random;
    QStringList m_words;
};

} // namespace

GeneratedDocument mixedDocument(quint32 seed, int blockCount)
{
    return Generator(seed).document(blockCount);
}

} // namespace tolvaran::fixtures::markdown
