#pragma once

#include <QIcon>
#include <QList>

// The four 32 x 32 tray images `Image1(0)` to `Image1(3)`: 0 error, 1 modem answering,
// 2 waiting (start-up), 3 no modem (direct connection). Drawn, so no binary files are needed.
QList<QIcon> trayImages();
