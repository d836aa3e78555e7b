#pragma once

#include <QList>
#include <QString>
#include <QUrl>

class QTextStream;

#include <optional>

namespace tolvaran::fixtures::bench {

// What a Markdown view takes to lay its document out again at each width of a sweep, as a
// window dragged wider does: the processor time of the whole sweep (every thread of the
// process), and the longest that one width took from the resize until the document was laid
// out to its end and painted.
struct ResizeSweep
{
    double processorSeconds = 0;
    double longestMilliseconds = 0;

    // A view in the GitHub theme, `height` pixels high, on `markdown` (its pictures files of
    // `folder`), once its `pictures` pictures have arrived and taken their room, standing
    // alone or in lines of text, resized to each of `widths` in turn; none when the pictures
    // did not all come.
    static std::optional<ResizeSweep> measure(const QString &markdown, const QUrl &folder,
                                              int pictures, const QList<int> &widths,
                                              int height);
};

// The sweep of pictures in lines of text beside block pictures: forty widths from 480 pixels,
// over 2,000 paragraphs long enough to wrap at each, each with a 24 by 24 picture in a line of
// its text, or standing alone below it. Measured in this process, the picture made in
// `folderPath`, the view `height` high: prints the processor seconds and the costliest width
// in milliseconds; the exit code of the measure.
int measurePictureSweep(bool inLines, const QString &folderPath, int height);
// Prints the sweep in lines beside as blocks, each measured by this program run with
// "--sweep", "in-lines" or "blocks", and a folder in a process of its own.
void printPictureSweep(QTextStream &out);

} // namespace tolvaran::fixtures::bench
