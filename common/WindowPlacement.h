#pragma once

#include <QList>
#include <QRect>

// Where windows go on the desktop, given the screens' available areas: pure geometry, so the
// rules can be checked without a display.
namespace WindowPlacement {

// A frame that lies wholly on one screen stays; otherwise it moves onto the screen it overlaps
// most (or the first, when it overlaps none), shrunk to fit there. The monitor it was on may
// be gone, or smaller.
QRect onScreen(const QRect &frame, const QList<QRect> &screens);

// Where a frame of this size goes beside `other` without covering it: to its right, its left,
// below, above, the first that fits on a screen; else where it covers least.
QRect beside(const QSize &frame, const QRect &other, const QList<QRect> &screens);

} // namespace WindowPlacement
