#include "data/token_usage/TokenCountLineParser.h"

#include <QCborValue>
#include <QJsonDocument>
#include <QJsonObject>

#include <charconv>
#include <cmath>
#include <limits>

namespace tolvaran::Internal {

namespace {

// A rate-limit window at least this long (in minutes) is the weekly one; the other window
// Codex reports lasts five hours (300 minutes).
constexpr qint64 weeklyWindowMinimumMinutes = 9999;
// Deeper nesting than this is left to Qt's reader.
constexpr int maximumQuickNesting = 64;
// Integers with more digits may not fit 64 bits: left to Qt's reader.
constexpr int maximumQuickIntegerDigits = 18;

// One member of a usage line, as either reader found it.
struct Field
{
    enum class Kind { missing, string, number, object, other };
    Kind kind = Kind::missing;
    QByteArray text;                    // a string's UTF-8 bytes
    double real = 0.0;                  // a number
    std::optional<qint64> exactInteger; // a number written (and kept) as an integer

    bool isObject() const { return kind == Kind::object; }
    bool isString(const char *value) const { return kind == Kind::string && text == value; }

    // As a 64-bit integer: integers as they are, integral doubles in range exactly, other
    // numbers truncated and clamped (a double out of range must not be converted unchecked).
    std::optional<qint64> integer() const
    {
        if (kind != Kind::number)
            return std::nullopt;
        if (exactInteger)
            return exactInteger;
        if (std::isnan(real))
            return std::nullopt;
        if (real >= 9.2e18)
            return std::numeric_limits<qint64>::max();
        if (real <= -9.2e18)
            return std::numeric_limits<qint64>::min();
        return qint64(real);
    }

    std::optional<double> number() const
    {
        if (kind != Kind::number)
            return std::nullopt;
        return exactInteger ? double(*exactInteger) : real;
    }
};

struct Window
{
    Field self; // only its kind matters
    Field usedPercent;
    Field windowMinutes;
    Field resetsAt;
};

// Every member of a line that decides whether it is a usage line and what it holds.
struct UsageFields
{
    bool rootIsObject = false;
    Field type;
    Field timestamp;
    Field payload;
    Field payloadType;
    Field info;
    Field lastUsage;
    Field input;
    Field cachedInput;
    Field output;
    Field total;
    Field rateLimits;
    Window primary;
    Window secondary;
    Field planType;
};

std::optional<UsageEvent> eventFrom(const UsageFields &fields, const QString &projectPath,
                                    const std::optional<QString> &model)
{
    if (!fields.rootIsObject || !fields.type.isString("event_msg") || !fields.payload.isObject()
        || !fields.payloadType.isString("token_count") || !fields.info.isObject()
        || !fields.lastUsage.isObject() || fields.timestamp.kind != Field::Kind::string)
        return std::nullopt;
    const std::optional<Timestamp> date =
        TokenCountLineParser::parseTimestamp(QByteArrayView(fields.timestamp.text));
    if (!date)
        return std::nullopt;
    const std::optional<qint64> total = fields.total.integer();
    if (!total || *total <= 0 || *total > TokenCountLineParser::maximumTokenCount)
        return std::nullopt;
    // A part that is negative or absurd makes the whole line invalid, as a bad total does:
    // counting it would give negative costs or overflow the sums.
    const auto part = [](const Field &field) -> std::optional<qint64> {
        const qint64 value = field.integer().value_or(0);
        if (value < 0 || value > TokenCountLineParser::maximumTokenCount)
            return std::nullopt;
        return value;
    };
    const std::optional<qint64> input = part(fields.input);
    const std::optional<qint64> cachedInput = part(fields.cachedInput);
    const std::optional<qint64> output = part(fields.output);
    if (!input || !cachedInput || !output)
        return std::nullopt;

    UsageEvent event;
    event.projectPath = projectPath;
    event.date = *date;
    event.input = *input;
    event.cachedInput = *cachedInput;
    event.output = *output;
    event.total = *total;
    event.model = model;
    if (fields.rateLimits.isObject()) {
        // Codex lists the windows as "primary" and "secondary"; which one is weekly shows only
        // in its length.
        for (const Window *window : {&fields.primary, &fields.secondary}) {
            if (!window->self.isObject())
                continue;
            const std::optional<qint64> minutes = window->windowMinutes.integer();
            if (!minutes || *minutes <= weeklyWindowMinimumMinutes)
                continue;
            event.weeklyWindowMinutes = minutes;
            event.weeklyUsedPercent = window->usedPercent.number();
            if (const auto resetsAt = window->resetsAt.number())
                event.weeklyResetsAt = Timestamp::clampedFromSeconds(*resetsAt);
            break;
        }
        if (fields.planType.kind == Field::Kind::string)
            event.planType = QString::fromUtf8(fields.planType.text);
    }
    return event;
}

// --- Qt's reader: the reference, and the path for anything unusual ---------------------

Field fieldFrom(const QJsonValue &value)
{
    Field field;
    switch (value.type()) {
    case QJsonValue::Undefined:
        break;
    case QJsonValue::String:
        field.kind = Field::Kind::string;
        field.text = value.toString().toUtf8();
        break;
    case QJsonValue::Double:
        field.kind = Field::Kind::number;
        field.real = value.toDouble();
        if (const QCborValue cbor = QCborValue::fromJsonValue(value); cbor.isInteger())
            field.exactInteger = cbor.toInteger();
        break;
    case QJsonValue::Object:
        field.kind = Field::Kind::object;
        break;
    default:
        field.kind = Field::Kind::other;
        break;
    }
    return field;
}

Window windowFrom(const QJsonValue &value)
{
    Window window;
    window.self = fieldFrom(value);
    const QJsonObject object = value.toObject();
    window.usedPercent = fieldFrom(object.value(QLatin1String("used_percent")));
    window.windowMinutes = fieldFrom(object.value(QLatin1String("window_minutes")));
    window.resetsAt = fieldFrom(object.value(QLatin1String("resets_at")));
    return window;
}

UsageFields fieldsWithQt(QByteArrayView line)
{
    UsageFields fields;
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray::fromRawData(line.data(), line.size()));
    if (!document.isObject())
        return fields;
    fields.rootIsObject = true;
    const QJsonObject root = document.object();
    fields.type = fieldFrom(root.value(QLatin1String("type")));
    fields.timestamp = fieldFrom(root.value(QLatin1String("timestamp")));
    const QJsonValue payloadValue = root.value(QLatin1String("payload"));
    fields.payload = fieldFrom(payloadValue);
    const QJsonObject payload = payloadValue.toObject();
    fields.payloadType = fieldFrom(payload.value(QLatin1String("type")));
    const QJsonValue infoValue = payload.value(QLatin1String("info"));
    fields.info = fieldFrom(infoValue);
    const QJsonValue usageValue = infoValue.toObject().value(QLatin1String("last_token_usage"));
    fields.lastUsage = fieldFrom(usageValue);
    const QJsonObject usage = usageValue.toObject();
    fields.input = fieldFrom(usage.value(QLatin1String("input_tokens")));
    fields.cachedInput = fieldFrom(usage.value(QLatin1String("cached_input_tokens")));
    fields.output = fieldFrom(usage.value(QLatin1String("output_tokens")));
    fields.total = fieldFrom(usage.value(QLatin1String("total_tokens")));
    const QJsonValue rateLimitsValue = payload.value(QLatin1String("rate_limits"));
    fields.rateLimits = fieldFrom(rateLimitsValue);
    const QJsonObject rateLimits = rateLimitsValue.toObject();
    fields.primary = windowFrom(rateLimits.value(QLatin1String("primary")));
    fields.secondary = windowFrom(rateLimits.value(QLatin1String("secondary")));
    fields.planType = fieldFrom(rateLimits.value(QLatin1String("plan_type")));
    return fields;
}

// --- The quick reader ----------------------------------------------------------------------
//
// Our own reader of the JSON that Codex writes, because Qt's takes about 5 µs per usage line
// and that was most of the time of indexing a rollout. It reads a strict subset of JSON:
// strings of printable ASCII without escapes, numbers of at most 18 integer digits, nesting
// of at most 64 levels, no member of interest given twice. On anything else, including any
// error, it gives up and the line goes to Qt's reader; so whatever it accepts, Qt reads
// alike.

class QuickReader final
{
public:
    explicit QuickReader(QByteArrayView line)
        : m_at(line.data())
        , m_end(line.data() + line.size())
    {
    }

    // Absent when the line is not in the subset (or not JSON).
    std::optional<UsageFields> read()
    {
        skipBlanks();
        if (m_at < m_end && *m_at == '{') {
            m_fields.rootIsObject = true;
            if (!readObject(Context::root, 0))
                return std::nullopt;
        } else if (!skipValue(0)) {
            return std::nullopt;
        }
        skipBlanks();
        if (m_at != m_end)
            return std::nullopt;
        return m_fields;
    }

private:
    enum class Context { root, payload, info, lastUsage, rateLimits, primary, secondary, other };

    void skipBlanks()
    {
        while (m_at < m_end && (*m_at == ' ' || *m_at == '\t' || *m_at == '\n' || *m_at == '\r'))
            ++m_at;
    }

    bool readString(std::string_view &text)
    {
        if (m_at == m_end || *m_at != '"')
            return false;
        const char *start = ++m_at;
        while (m_at < m_end) {
            const auto c = static_cast<unsigned char>(*m_at);
            if (c == '"') {
                text = std::string_view(start, size_t(m_at - start));
                ++m_at;
                return true;
            }
            if (c == '\\' || c < 0x20 || c >= 0x7f)
                return false; // escapes, control characters, non-ASCII: Qt's reader
            ++m_at;
        }
        return false;
    }

    bool readNumber(Field &field)
    {
        const char *start = m_at;
        if (m_at < m_end && *m_at == '-')
            ++m_at;
        const char *digits = m_at;
        while (m_at < m_end && *m_at >= '0' && *m_at <= '9')
            ++m_at;
        const qsizetype integerDigits = m_at - digits;
        if (integerDigits == 0 || integerDigits > maximumQuickIntegerDigits
            || (*digits == '0' && integerDigits > 1))
            return false;
        bool integral = true;
        if (m_at < m_end && *m_at == '.') {
            integral = false;
            const char *fraction = ++m_at;
            while (m_at < m_end && *m_at >= '0' && *m_at <= '9')
                ++m_at;
            if (m_at == fraction)
                return false;
        }
        if (m_at < m_end && (*m_at == 'e' || *m_at == 'E')) {
            integral = false;
            ++m_at;
            if (m_at < m_end && (*m_at == '+' || *m_at == '-'))
                ++m_at;
            const char *exponent = m_at;
            while (m_at < m_end && *m_at >= '0' && *m_at <= '9')
                ++m_at;
            if (m_at == exponent)
                return false;
        }
        field.kind = Field::Kind::number;
        if (integral) {
            qint64 value = 0;
            if (std::from_chars(start, m_at, value).ptr != m_at)
                return false;
            field.exactInteger = value;
            field.real = double(value);
            return true;
        }
        const std::from_chars_result result = std::from_chars(start, m_at, field.real);
        return result.ec == std::errc() && result.ptr == m_at && std::isfinite(field.real);
    }

    static Context childContext(Context parent, std::string_view key)
    {
        switch (parent) {
        case Context::root:
            return key == "payload" ? Context::payload : Context::other;
        case Context::payload:
            if (key == "info")
                return Context::info;
            return key == "rate_limits" ? Context::rateLimits : Context::other;
        case Context::info:
            return key == "last_token_usage" ? Context::lastUsage : Context::other;
        case Context::rateLimits:
            if (key == "primary")
                return Context::primary;
            return key == "secondary" ? Context::secondary : Context::other;
        default:
            return Context::other;
        }
    }

    // The member of interest that `key` names in `context`, if any.
    Field *fieldFor(Context context, std::string_view key)
    {
        switch (context) {
        case Context::root:
            if (key == "type")
                return &m_fields.type;
            if (key == "timestamp")
                return &m_fields.timestamp;
            return key == "payload" ? &m_fields.payload : nullptr;
        case Context::payload:
            if (key == "type")
                return &m_fields.payloadType;
            if (key == "info")
                return &m_fields.info;
            return key == "rate_limits" ? &m_fields.rateLimits : nullptr;
        case Context::info:
            return key == "last_token_usage" ? &m_fields.lastUsage : nullptr;
        case Context::lastUsage:
            if (key == "input_tokens")
                return &m_fields.input;
            if (key == "cached_input_tokens")
                return &m_fields.cachedInput;
            if (key == "output_tokens")
                return &m_fields.output;
            return key == "total_tokens" ? &m_fields.total : nullptr;
        case Context::rateLimits:
            if (key == "plan_type")
                return &m_fields.planType;
            if (key == "primary")
                return &m_fields.primary.self;
            return key == "secondary" ? &m_fields.secondary.self : nullptr;
        case Context::primary:
        case Context::secondary: {
            Window &window = context == Context::primary ? m_fields.primary : m_fields.secondary;
            if (key == "used_percent")
                return &window.usedPercent;
            if (key == "window_minutes")
                return &window.windowMinutes;
            return key == "resets_at" ? &window.resetsAt : nullptr;
        }
        case Context::other:
            return nullptr;
        }
        return nullptr;
    }

    bool readObject(Context context, int depth)
    {
        if (depth > maximumQuickNesting)
            return false;
        ++m_at; // '{'
        skipBlanks();
        if (m_at < m_end && *m_at == '}') {
            ++m_at;
            return true;
        }
        while (true) {
            std::string_view key;
            if (!readString(key))
                return false;
            skipBlanks();
            if (m_at == m_end || *m_at != ':')
                return false;
            ++m_at;
            skipBlanks();
            Field *field = fieldFor(context, key);
            if (field && field->kind != Field::Kind::missing)
                return false; // given twice: Qt's reader knows which one counts
            if (!readValue(field, childContext(context, key), depth + 1))
                return false;
            skipBlanks();
            if (m_at == m_end)
                return false;
            if (*m_at == '}') {
                ++m_at;
                break;
            }
            if (*m_at != ',')
                return false;
            ++m_at;
            skipBlanks();
        }
        return true;
    }

    bool readArray(int depth)
    {
        if (depth > maximumQuickNesting)
            return false;
        ++m_at; // '['
        skipBlanks();
        if (m_at < m_end && *m_at == ']') {
            ++m_at;
            return true;
        }
        while (true) {
            if (!skipValue(depth + 1))
                return false;
            skipBlanks();
            if (m_at == m_end)
                return false;
            if (*m_at == ']') {
                ++m_at;
                return true;
            }
            if (*m_at != ',')
                return false;
            ++m_at;
            skipBlanks();
        }
    }

    bool readLiteral(std::string_view literal)
    {
        if (size_t(m_end - m_at) < literal.size()
            || std::string_view(m_at, literal.size()) != literal)
            return false;
        m_at += literal.size();
        return true;
    }

    // Reads one value into `field` (when it is of interest) with `context` for its members.
    bool readValue(Field *field, Context context, int depth)
    {
        Field ignored;
        Field &target = field ? *field : ignored;
        if (m_at == m_end)
            return false;
        switch (*m_at) {
        case '{':
            target.kind = Field::Kind::object;
            return readObject(context, depth);
        case '[':
            target.kind = Field::Kind::other;
            return readArray(depth);
        case '"': {
            std::string_view text;
            if (!readString(text))
                return false;
            target.kind = Field::Kind::string;
            if (field)
                target.text = QByteArray(text.data(), qsizetype(text.size()));
            return true;
        }
        case 't':
            target.kind = Field::Kind::other;
            return readLiteral("true");
        case 'f':
            target.kind = Field::Kind::other;
            return readLiteral("false");
        case 'n':
            target.kind = Field::Kind::other;
            return readLiteral("null");
        default:
            return readNumber(target);
        }
    }

    bool skipValue(int depth) { return readValue(nullptr, Context::other, depth); }

    const char *m_at;
    const char *m_end;
    UsageFields m_fields;
};

int digits(QByteArrayView text, qsizetype at, int count)
{
    int value = 0;
    for (int i = 0; i < count; ++i) {
        const char c = text[at + i];
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

// Days from 1970-01-01 to the given civil date (proleptic Gregorian calendar).
qint64 daysFromCivil(qint64 year, int month, int day)
{
    year -= month <= 2 ? 1 : 0;
    const qint64 era = (year >= 0 ? year : year - 399) / 400;
    const qint64 yearOfEra = year - era * 400;
    const qint64 dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const qint64 dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

int daysInMonth(int year, int month)
{
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

} // namespace

std::optional<Timestamp> TokenCountLineParser::parseTimestamp(QByteArrayView text)
{
    // Our own reader of the one format Codex writes: QDateTime's ISO reader is several times
    // slower on this path and accepts forms that are not internet dates.
    if (text.size() < 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T'
        || text[13] != ':' || text[16] != ':')
        return std::nullopt;
    const int year = digits(text, 0, 4);
    const int month = digits(text, 5, 2);
    const int day = digits(text, 8, 2);
    const int hour = digits(text, 11, 2);
    const int minute = digits(text, 14, 2);
    const int second = digits(text, 17, 2);
    if (year < 0 || month < 1 || month > 12 || day < 1 || hour < 0 || hour > 23 || minute < 0
        || minute > 59 || second < 0 || second > 59 || day > daysInMonth(year, month))
        return std::nullopt;

    qsizetype at = 19;
    qint64 milliseconds = 0;
    if (text[at] == '.') {
        ++at;
        const qsizetype fractionStart = at;
        int scale = 100;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
            milliseconds += (text[at] - '0') * scale;
            scale /= 10;
            ++at;
        }
        if (at == fractionStart)
            return std::nullopt;
    }

    qint64 offsetSeconds = 0;
    if (at + 1 == text.size() && text[at] == 'Z') {
        offsetSeconds = 0;
    } else if (at + 6 == text.size() && (text[at] == '+' || text[at] == '-')
               && text[at + 3] == ':') {
        const int offsetHours = digits(text, at + 1, 2);
        const int offsetMinutes = digits(text, at + 4, 2);
        if (offsetHours < 0 || offsetHours > 23 || offsetMinutes < 0 || offsetMinutes > 59)
            return std::nullopt;
        offsetSeconds = (offsetHours * 3600 + offsetMinutes * 60) * (text[at] == '-' ? -1 : 1);
    } else {
        return std::nullopt;
    }

    const qint64 seconds =
        daysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second
        - offsetSeconds;
    return Timestamp::fromMilliseconds(seconds * 1000 + milliseconds);
}

std::optional<UsageEvent> TokenCountLineParser::parseEvent(QByteArrayView line,
                                                            const QString &projectPath,
                                                            const std::optional<QString> &model)
{
    if (!line.contains(pattern))
        return std::nullopt;
    if (const std::optional<UsageFields> fields = QuickReader(line).read())
        return eventFrom(*fields, projectPath, model);
    return eventFrom(fieldsWithQt(line), projectPath, model);
}

std::optional<UsageEvent> TokenCountLineParser::parseEventWithQtReader(
    QByteArrayView line, const QString &projectPath, const std::optional<QString> &model)
{
    if (!line.contains(pattern))
        return std::nullopt;
    return eventFrom(fieldsWithQt(line), projectPath, model);
}

} // namespace tolvaran::Internal
