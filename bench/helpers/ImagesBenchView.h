#pragma once

#include <QString>
#include <QUrl>
#include <QtGlobal>

#include <functional>
#include <memory>

namespace tolvaran::markdown {
class MarkdownView;
}

namespace tolvaran::fixtures::bench {

class CountingLoader;

// The size the images benchmark shows its views at.
inline constexpr int viewWidth = 860;
inline constexpr int viewHeight = 900;
// How long each page of a fast read-down shows.
inline constexpr qint64 readingPageMilliseconds = 100;
// How long no picture may ask for pixels before the view counts as settled: twice the wait
// for a drawn size to settle.
inline constexpr qint64 quietMilliseconds = 600;

// Runs the event loop until `done` holds; false when the deadline for every picture to load
// passed first.
bool processUntil(const std::function<bool()> &done);

// A view over the counting loader, at `width` by the benchmark's height, in the GitHub theme,
// shown, on `markdown` (its pictures resolved against `folder`).
std::unique_ptr<markdown::MarkdownView> openView(CountingLoader &loader, int width,
                                                 const QString &markdown,
                                                 const QUrl &folder = {});

// Paints the view until its pictures have not asked for pixels for `milliseconds`, from now.
bool settle(markdown::MarkdownView &view, const CountingLoader &loader,
            qint64 milliseconds = quietMilliseconds);

// Reads the view a screen at a time to its end and back to its start.
bool scrollThroughAndBack(markdown::MarkdownView &view, const CountingLoader &loader);

// Each picture below a line naming it, or, for the first where `firstInLine` says, in that
// line; `source` gives each picture's address.
QString document(int pictures, const std::function<QString(int)> &source,
                 bool firstInLine = false);

} // namespace tolvaran::fixtures::bench
