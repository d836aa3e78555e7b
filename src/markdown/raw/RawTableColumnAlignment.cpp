#include "markdown/raw/RawTableColumnAlignment.h"

namespace tolvaran::markdown {

QChar rawValue(RawTableColumnAlignment alignment)
{
    switch (alignment) {
    case RawTableColumnAlignment::none:
        return QChar(u'\0');
    case RawTableColumnAlignment::left:
        return QChar(u'l');
    case RawTableColumnAlignment::center:
        return QChar(u'c');
    case RawTableColumnAlignment::right:
        return QChar(u'r');
    }
    return QChar(u'\0');
}

std::optional<RawTableColumnAlignment> rawTableColumnAlignmentFromRawValue(QChar raw)
{
    switch (raw.unicode()) {
    case u'\0':
        return RawTableColumnAlignment::none;
    case u'l':
        return RawTableColumnAlignment::left;
    case u'c':
        return RawTableColumnAlignment::center;
    case u'r':
        return RawTableColumnAlignment::right;
    default:
        return std::nullopt;
    }
}

} // namespace tolvaran::markdown
