// The words a Linux user reads: no text the program can show names a place of another
// desktop. Every string literal of the sources is read (comments are not text anyone sees).
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QStringList>

#include <gtest/gtest.h>

namespace {

struct Literal
{
    QString file;
    int line = 0;
    QString text;
};

// The string literals of one C++ source: ordinary and raw ones, with comments and character
// literals passed over. Escapes are kept as written, which is enough to look for words.
QList<Literal> stringLiterals(const QString &file, const QString &source)
{
    QList<Literal> found;
    int line = 1;
    const qsizetype size = source.size();
    for (qsizetype at = 0; at < size; ++at) {
        const QChar c = source.at(at);
        const QChar next = at + 1 < size ? source.at(at + 1) : QChar();
        if (c == QLatin1Char('\n')) {
            ++line;
        } else if (c == QLatin1Char('/') && next == QLatin1Char('/')) {
            while (at < size && source.at(at) != QLatin1Char('\n'))
                ++at;
            --at;
        } else if (c == QLatin1Char('/') && next == QLatin1Char('*')) {
            const qsizetype end = source.indexOf(QLatin1String("*/"), at + 2);
            const qsizetype stop = end < 0 ? size : end + 1;
            line += int(QStringView(source).mid(at, stop - at).count(QLatin1Char('\n')));
            at = stop;
        } else if (c == QLatin1Char('R') && next == QLatin1Char('"')
                   && (at == 0 || !source.at(at - 1).isLetterOrNumber())) {
            const qsizetype open = source.indexOf(QLatin1Char('('), at + 2);
            const QString closing =
                QLatin1Char(')') + source.mid(at + 2, open - at - 2) + QLatin1Char('"');
            const qsizetype end = source.indexOf(closing, open);
            const QString text = source.mid(open + 1, end - open - 1);
            found.append({file, line, text});
            line += int(text.count(QLatin1Char('\n')));
            at = end + closing.size() - 1;
        } else if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            qsizetype end = at + 1;
            while (end < size && source.at(end) != c) {
                if (source.at(end) == QLatin1Char('\\'))
                    ++end;
                ++end;
            }
            if (c == QLatin1Char('"'))
                found.append({file, line, source.mid(at + 1, end - at - 1)});
            at = end;
        }
    }
    return found;
}

QList<Literal> sourceLiterals()
{
    QList<Literal> literals;
    QDirIterator it(QStringLiteral(TOLVARAN_SOURCE_DIR), {QStringLiteral("*.cpp"),
                                                          QStringLiteral("*.h")},
                    QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            ADD_FAILURE() << "cannot read " << path.toStdString();
        literals.append(stringLiterals(path, QString::fromUtf8(file.readAll())));
    }
    return literals;
}

TEST(PlainWords, noStringLiteralOfTheSourcesNamesTheFinderAMacOrTheApplicationsFolder)
{
    const QRegularExpression foreign(QStringLiteral("\\b(Finder|Mac|Applications)\\b"));
    const QList<Literal> literals = sourceLiterals();
    bool sawFileManager = false;
    for (const Literal &literal : literals) {
        sawFileManager = sawFileManager
                         || literal.text == QLatin1String("Reveal project in file manager");
        EXPECT_FALSE(foreign.match(literal.text).hasMatch())
            << literal.file.toStdString() << ":" << literal.line << ": \""
            << literal.text.toStdString() << "\"";
    }
    // The sources were really read: the detail header's button is among them.
    EXPECT_TRUE(sawFileManager);
}

TEST(PlainWords, theLiteralReaderSkipsCommentsAndCharactersAndReadsRawStrings)
{
    const QString source = QStringLiteral(
        "// \"Finder\" in a comment\n"
        "/* \"Mac\"\n */ char quote = '\"';\n"
        "auto a = QStringLiteral(\"on this \\\"computer\\\"\");\n"
        "auto b = R\"x(raw \"text\")x\";\n");
    QStringList texts;
    for (const Literal &literal : stringLiterals(QStringLiteral("sample.cpp"), source))
        texts << literal.text;
    EXPECT_EQ(texts, (QStringList{QStringLiteral("on this \\\"computer\\\""),
                                  QStringLiteral("raw \"text\"")}));
}

} // namespace
