#include "team/wire/TeamJsonReader.h"

#include "team/TeamLogging.h"
#include "team/wire/TeamWireLimits.h"

#include <charconv>
#include <cmath>

namespace tolvaran {

namespace {

// Integers beyond this are not exactly representable as a double, so a number written with a
// fraction or exponent (as "5.0" or "1e3") counts as an integer only up to it.
constexpr double maxExactDouble = 9007199254740992.0; // 2^53

bool isWhiteSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Well-formed UTF-8 as JSON text must be: no overlong forms, no surrogates, nothing above
// U+10FFFF. Checked once for the whole message so that strings can be taken as they are.
bool isValidUtf8(QByteArrayView bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const auto *end = p + bytes.size();
    while (p < end) {
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        int length = 0;
        unsigned char min = 0x80, max = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            if (c == 0xE0)
                min = 0xA0;
            else if (c == 0xED)
                max = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            if (c == 0xF0)
                min = 0x90;
            else if (c == 0xF4)
                max = 0x8F;
        } else {
            return false;
        }
        if (end - p < length || p[1] < min || p[1] > max)
            return false;
        for (int i = 2; i < length; ++i) {
            if (p[i] < 0x80 || p[i] > 0xBF)
                return false;
        }
        p += length;
    }
    return true;
}

void appendUtf8(QByteArray &out, char32_t codePoint)
{
    if (codePoint < 0x80) {
        out.append(char(codePoint));
    } else if (codePoint < 0x800) {
        out.append(char(0xC0 | (codePoint >> 6)));
        out.append(char(0x80 | (codePoint & 0x3F)));
    } else if (codePoint < 0x10000) {
        out.append(char(0xE0 | (codePoint >> 12)));
        out.append(char(0x80 | ((codePoint >> 6) & 0x3F)));
        out.append(char(0x80 | (codePoint & 0x3F)));
    } else {
        out.append(char(0xF0 | (codePoint >> 18)));
        out.append(char(0x80 | ((codePoint >> 12) & 0x3F)));
        out.append(char(0x80 | ((codePoint >> 6) & 0x3F)));
        out.append(char(0x80 | (codePoint & 0x3F)));
    }
}

} // namespace

TeamJsonReader::TeamJsonReader(QByteArrayView bytes)
    : m_bytes(bytes)
{
    if (bytes.size() > TeamWireLimits::maxMessageBytes) {
        failLimit(QStringLiteral("%1 bytes, over the limit of %2")
                      .arg(bytes.size())
                      .arg(TeamWireLimits::maxMessageBytes));
    }
    if (!isValidUtf8(bytes))
        failMalformed("text that is not UTF-8");
}

void TeamJsonReader::logIfRefused(const TeamWireError &error)
{
    if (error.kind() == TeamWireErrorKind::limitExceeded)
        qCWarning(lcTeam, "Team message refused: %s", error.what());
}

void TeamJsonReader::failMalformed(const char *what) const
{
    throw TeamWireError(TeamWireErrorKind::malformed,
                        QStringLiteral("%1 at byte %2").arg(QLatin1String(what)).arg(m_pos));
}

void TeamJsonReader::failMissing(const char *key) const
{
    throw TeamWireError(TeamWireErrorKind::invalidRecord,
                        QStringLiteral("\"%1\" is missing").arg(QLatin1String(key)));
}

void TeamJsonReader::failMistyped(const char *expected) const
{
    throw TeamWireError(TeamWireErrorKind::invalidRecord,
                        QStringLiteral("\"%1\" is not %2")
                            .arg(QString::fromUtf8(m_key), QLatin1String(expected)));
}

void TeamJsonReader::failLimit(const QString &what) const
{
    throw TeamWireError(TeamWireErrorKind::limitExceeded, what);
}

void TeamJsonReader::skipWhiteSpace()
{
    while (m_pos < m_bytes.size() && isWhiteSpace(m_bytes[m_pos]))
        ++m_pos;
}

char TeamJsonReader::nextSignificant()
{
    skipWhiteSpace();
    if (m_pos >= m_bytes.size())
        failMalformed("unexpected end");
    return m_bytes[m_pos];
}

void TeamJsonReader::countValue()
{
    if (++m_values > TeamWireLimits::maxValues)
        failLimit(QStringLiteral("more than %1 values").arg(TeamWireLimits::maxValues));
}

void TeamJsonReader::push()
{
    if (qsizetype(m_firstInContainer.size()) >= TeamWireLimits::maxNestingDepth)
        failLimit(QStringLiteral("nested deeper than %1").arg(TeamWireLimits::maxNestingDepth));
    m_firstInContainer.push_back(true);
}

void TeamJsonReader::pop()
{
    m_firstInContainer.pop_back();
}

TeamJsonReader::Kind TeamJsonReader::peek()
{
    switch (nextSignificant()) {
    case 'n':
        return Kind::null;
    case 't':
    case 'f':
        return Kind::boolean;
    case '"':
        return Kind::string;
    case '[':
        return Kind::array;
    case '{':
        return Kind::object;
    default:
        if (isDigit(m_bytes[m_pos]) || m_bytes[m_pos] == '-')
            return Kind::number;
        failMalformed("no value");
    }
}

bool TeamJsonReader::skipNull()
{
    if (peek() != Kind::null)
        return false;
    countValue();
    expectLiteral("null");
    return true;
}

void TeamJsonReader::expectLiteral(const char *literal)
{
    const QByteArrayView expected(literal);
    if (m_bytes.sliced(m_pos).first(qMin(expected.size(), m_bytes.size() - m_pos)) != expected)
        failMalformed("an unknown literal");
    m_pos += expected.size();
}

void TeamJsonReader::beginObject()
{
    if (peek() != Kind::object)
        failMistyped("an object");
    countValue();
    push();
    ++m_pos;
}

std::optional<QByteArrayView> TeamJsonReader::nextKey()
{
    char c = nextSignificant();
    if (m_firstInContainer.back()) {
        m_firstInContainer.back() = false;
        if (c == '}') {
            ++m_pos;
            pop();
            return std::nullopt;
        }
    } else {
        ++m_pos;
        if (c == '}') {
            pop();
            return std::nullopt;
        }
        if (c != ',')
            failMalformed("a missing comma in an object");
        c = nextSignificant();
    }
    if (c != '"')
        failMalformed("a key that is not a string");
    // An escaped key is unescaped, so that it compares as the text it stands for.
    m_key = scanStringBytes(m_keyBuffer);
    if (nextSignificant() != ':')
        failMalformed("a missing colon");
    ++m_pos;
    return m_key;
}

void TeamJsonReader::beginArray()
{
    if (peek() != Kind::array)
        failMistyped("a list");
    countValue();
    push();
    ++m_pos;
}

bool TeamJsonReader::nextElement()
{
    const char c = nextSignificant();
    if (m_firstInContainer.back()) {
        m_firstInContainer.back() = false;
        if (c == ']') {
            ++m_pos;
            pop();
            return false;
        }
        return true;
    }
    ++m_pos;
    if (c == ']') {
        pop();
        return false;
    }
    if (c != ',')
        failMalformed("a missing comma in a list");
    return true;
}

QByteArrayView TeamJsonReader::scanStringBytes(QByteArray &buffer)
{
    ++m_pos; // the opening quote
    const qsizetype start = m_pos;
    while (m_pos < m_bytes.size()) {
        const char c = m_bytes[m_pos];
        if (c == '"') {
            ++m_pos;
            return m_bytes.sliced(start, m_pos - 1 - start);
        }
        if (c == '\\')
            break;
        if (static_cast<unsigned char>(c) < 0x20)
            failMalformed("a control character in a string");
        ++m_pos;
    }
    buffer = m_bytes.sliced(start, m_pos - start).toByteArray();
    while (m_pos < m_bytes.size()) {
        const char c = m_bytes[m_pos];
        if (c == '"') {
            ++m_pos;
            return QByteArrayView(buffer);
        }
        if (c == '\\') {
            appendEscape(buffer);
            continue;
        }
        if (static_cast<unsigned char>(c) < 0x20)
            failMalformed("a control character in a string");
        buffer.append(c);
        ++m_pos;
    }
    failMalformed("an unterminated string");
}

QString TeamJsonReader::readStringToken()
{
    QByteArray buffer;
    return QString::fromUtf8(scanStringBytes(buffer));
}

void TeamJsonReader::appendEscape(QByteArray &out)
{
    const auto hex4 = [this]() -> char32_t {
        if (m_bytes.size() - m_pos < 4)
            failMalformed("a short \\u escape");
        char32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            const char h = m_bytes[m_pos++];
            value <<= 4;
            if (isDigit(h))
                value |= char32_t(h - '0');
            else if (h >= 'a' && h <= 'f')
                value |= char32_t(h - 'a' + 10);
            else if (h >= 'A' && h <= 'F')
                value |= char32_t(h - 'A' + 10);
            else
                failMalformed("a bad \\u escape");
        }
        return value;
    };

    ++m_pos; // the backslash
    if (m_pos >= m_bytes.size())
        failMalformed("an unterminated string");
    const char c = m_bytes[m_pos++];
    switch (c) {
    case '"': out.append('"'); return;
    case '\\': out.append('\\'); return;
    case '/': out.append('/'); return;
    case 'b': out.append('\b'); return;
    case 'f': out.append('\f'); return;
    case 'n': out.append('\n'); return;
    case 'r': out.append('\r'); return;
    case 't': out.append('\t'); return;
    case 'u': break;
    default: failMalformed("an unknown escape");
    }
    char32_t codePoint = hex4();
    if (codePoint >= 0xDC00 && codePoint <= 0xDFFF)
        failMalformed("a lone low surrogate");
    if (codePoint >= 0xD800 && codePoint <= 0xDBFF) {
        if (m_bytes.size() - m_pos < 2 || m_bytes[m_pos] != '\\' || m_bytes[m_pos + 1] != 'u')
            failMalformed("a lone high surrogate");
        m_pos += 2;
        const char32_t low = hex4();
        if (low < 0xDC00 || low > 0xDFFF)
            failMalformed("a lone high surrogate");
        codePoint = 0x10000 + ((codePoint - 0xD800) << 10) + (low - 0xDC00);
    }
    appendUtf8(out, codePoint);
}

QByteArrayView TeamJsonReader::scanNumber(bool &isInteger)
{
    const qsizetype start = m_pos;
    const qsizetype size = m_bytes.size();
    const auto digits = [&] {
        const qsizetype first = m_pos;
        while (m_pos < size && isDigit(m_bytes[m_pos]))
            ++m_pos;
        if (m_pos == first)
            failMalformed("a number without digits");
    };
    isInteger = true;
    if (m_bytes[m_pos] == '-')
        ++m_pos;
    if (m_pos < size && m_bytes[m_pos] == '0') {
        ++m_pos;
        if (m_pos < size && isDigit(m_bytes[m_pos]))
            failMalformed("a number with a leading zero");
    } else {
        digits();
    }
    if (m_pos < size && m_bytes[m_pos] == '.') {
        isInteger = false;
        ++m_pos;
        digits();
    }
    if (m_pos < size && (m_bytes[m_pos] == 'e' || m_bytes[m_pos] == 'E')) {
        isInteger = false;
        ++m_pos;
        if (m_pos < size && (m_bytes[m_pos] == '+' || m_bytes[m_pos] == '-'))
            ++m_pos;
        digits();
    }
    return m_bytes.sliced(start, m_pos - start);
}

qint64 TeamJsonReader::int64FromToken()
{
    if (peek() != Kind::number)
        failMistyped("an integer");
    countValue();
    bool isInteger = false;
    const QByteArrayView token = scanNumber(isInteger);
    if (isInteger) {
        qint64 value = 0;
        const auto [end, error] = std::from_chars(token.begin(), token.end(), value);
        if (error != std::errc() || end != token.end())
            failMistyped("an integer that fits in 64 bits");
        return value;
    }
    double value = 0;
    const auto [end, error] = std::from_chars(token.begin(), token.end(), value);
    if (error != std::errc() || end != token.end() || std::trunc(value) != value
        || std::fabs(value) > maxExactDouble) {
        failMistyped("a whole number");
    }
    return qint64(value);
}

double TeamJsonReader::doubleFromToken()
{
    if (peek() != Kind::number)
        failMistyped("a number");
    countValue();
    bool isInteger = false;
    const QByteArrayView token = scanNumber(isInteger);
    double value = 0;
    const auto [end, error] = std::from_chars(token.begin(), token.end(), value);
    if (error != std::errc() || end != token.end())
        failMistyped("a number that fits in a double");
    return value;
}

QString TeamJsonReader::requiredString()
{
    if (peek() != Kind::string)
        failMistyped("a string");
    countValue();
    return readStringToken();
}

qint64 TeamJsonReader::requiredInt64()
{
    return int64FromToken();
}

double TeamJsonReader::requiredDouble()
{
    return doubleFromToken();
}

bool TeamJsonReader::requiredBool()
{
    if (peek() != Kind::boolean)
        failMistyped("a boolean");
    countValue();
    if (m_bytes[m_pos] == 't') {
        expectLiteral("true");
        return true;
    }
    expectLiteral("false");
    return false;
}

QStringList TeamJsonReader::requiredStringArray()
{
    QStringList strings;
    beginArray();
    while (nextElement())
        strings.append(requiredString());
    return strings;
}

std::optional<QString> TeamJsonReader::optionalString()
{
    if (skipNull())
        return std::nullopt;
    return requiredString();
}

std::optional<qint64> TeamJsonReader::optionalInt64()
{
    if (skipNull())
        return std::nullopt;
    return requiredInt64();
}

std::optional<double> TeamJsonReader::optionalDouble()
{
    if (skipNull())
        return std::nullopt;
    return requiredDouble();
}

std::optional<bool> TeamJsonReader::optionalBool()
{
    if (skipNull())
        return std::nullopt;
    return requiredBool();
}

std::optional<QStringList> TeamJsonReader::optionalStringArray()
{
    if (skipNull())
        return std::nullopt;
    return requiredStringArray();
}

void TeamJsonReader::skipValue()
{
    switch (peek()) {
    case Kind::null:
        skipNull();
        return;
    case Kind::boolean:
        requiredBool();
        return;
    case Kind::number: {
        // Not converted: a number of an unknown member need not fit anything.
        countValue();
        bool isInteger = false;
        scanNumber(isInteger);
        return;
    }
    case Kind::string: {
        countValue();
        QByteArray buffer;
        scanStringBytes(buffer);
        return;
    }
    case Kind::array:
        beginArray();
        while (nextElement())
            skipValue();
        return;
    case Kind::object:
        beginObject();
        while (nextKey())
            skipValue();
        return;
    }
}

void TeamJsonReader::finish()
{
    skipWhiteSpace();
    if (m_pos != m_bytes.size())
        failMalformed("bytes after the document");
}

} // namespace tolvaran
