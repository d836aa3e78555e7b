#pragma once

#include <QDateTime>

#include <compare>

namespace tolvaran {

// A point in time: seconds since 1970-01-01 UTC as a double, so that values read from Codex
// (fractional seconds, milliseconds) compare exactly as they were stored. Converted to
// QDateTime only where a time is shown or formatted.
struct Timestamp
{
    double seconds = 0.0;

    // Seconds between 1970-01-01 and 2001-01-01, the epoch of our own JSON files.
    static constexpr double referenceDateOffset = 978307200.0;
    // 0001-01-01T00:00:00Z: stands for an unknown time and sorts before every real one.
    static constexpr double distantPastSeconds = -62135596800.0;

    // 9999-12-31T23:59:59Z: the latest time a value read from outside may stand for.
    static constexpr double latestSeconds = 253402300799.0;

    static constexpr Timestamp fromSeconds(double value) { return Timestamp{value}; }
    // A time read from another program's files, held between the distant past and
    // latestSeconds (not a number counts as the distant past), so that converting it to
    // milliseconds or a QDateTime stays defined whatever the file says.
    static constexpr Timestamp clampedFromSeconds(double value)
    {
        if (!(value > distantPastSeconds))
            return distantPast();
        return Timestamp{value < latestSeconds ? value : latestSeconds};
    }
    static constexpr Timestamp fromMilliseconds(qint64 ms) { return Timestamp{double(ms) / 1000.0}; }
    static constexpr Timestamp fromReferenceSeconds(double value)
    {
        return Timestamp{value + referenceDateOffset};
    }
    static constexpr Timestamp distantPast() { return Timestamp{distantPastSeconds}; }
    static Timestamp now();
    static Timestamp fromDateTime(const QDateTime &dateTime);

    constexpr double referenceSeconds() const { return seconds - referenceDateOffset; }
    constexpr qint64 milliseconds() const { return qint64(seconds * 1000.0); }
    constexpr bool isDistantPast() const { return seconds <= distantPastSeconds; }
    QDateTime toDateTime() const; // UTC

    constexpr Timestamp addingSeconds(double delta) const { return Timestamp{seconds + delta}; }

    friend constexpr bool operator==(Timestamp, Timestamp) = default;
    friend constexpr auto operator<=>(Timestamp a, Timestamp b) { return a.seconds <=> b.seconds; }
};

inline size_t qHash(Timestamp t, size_t seed = 0) noexcept
{
    return ::qHash(t.seconds, seed);
}

} // namespace tolvaran
