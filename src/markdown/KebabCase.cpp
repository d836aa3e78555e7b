#include "markdown/KebabCase.h"

#include <QStringList>

namespace tolvaran::markdown {

namespace {

bool isLetterMarkOrDigit(char32_t codePoint)
{
    switch (QChar::category(codePoint)) {
    case QChar::Letter_Uppercase:
    case QChar::Letter_Lowercase:
    case QChar::Letter_Titlecase:
    case QChar::Letter_Modifier:
    case QChar::Letter_Other:
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
    case QChar::Number_DecimalDigit:
    case QChar::Number_Letter:
    case QChar::Number_Other:
        return true;
    default:
        return false;
    }
}

} // namespace

QString kebabCased(const QString &text)
{
    // Walks code points rather than UTF-16 units, so a letter outside the basic plane stays
    // whole and a lone surrogate counts as one separator.
    QStringList pieces{QString()};
    for (qsizetype i = 0; i < text.size();) {
        char32_t codePoint = text.at(i).unicode();
        qsizetype length = 1;
        if (QChar::isHighSurrogate(codePoint) && i + 1 < text.size()
            && text.at(i + 1).isLowSurrogate()) {
            codePoint = QChar::surrogateToUcs4(text.at(i), text.at(i + 1));
            length = 2;
        }
        if (isLetterMarkOrDigit(codePoint))
            pieces.last().append(QStringView(text).mid(i, length));
        else
            pieces.append(QString());
        i += length;
    }
    for (QString &piece : pieces)
        piece = piece.toLower();
    return pieces.join(QLatin1Char('-'));
}

} // namespace tolvaran::markdown
