#pragma once

#include <QList>
#include <QRect>

class QScreen;

namespace tolvaran::fixtures {

// Qt's offscreen platform has one screen of 800 by 800 unless a configuration file read as the
// program starts gives it others, so a test that needs several runs again in programs of its
// own. Runs the test now running again, alone, once for each of `arrangements` (screens side
// by side in one desktop, the first of each the primary one), in children of this program
// that run side by side, their output mixed into this program's; answers, for each, whether
// the test ran there and passed. Called in such a child (whose platform did not give it the
// screens asked for), it fails the test there and starts nothing.
QList<bool> runCurrentTestOnScreens(const QList<QList<QRect>> &arrangements);

// In such a child, changes its screens as the window system would: `screens` are those of its
// arrangement in their order, each at its new place and size; an empty one has gone (given
// again, it comes as a new screen). Qt has heard of the changes on return.
void changeOffscreenScreens(const QList<QRect> &screens);

// A panel comes onto `screen`, or goes: the screen's free area becomes `available`.
void setOffscreenFreeArea(QScreen *screen, const QRect &available);

} // namespace tolvaran::fixtures
