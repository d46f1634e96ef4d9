#pragma once

#include <QIcon>
#include <QPixmap>

namespace ui {

// The program's pictures, drawn in code so they need no image plugin and scale cleanly.
QIcon appIcon();
QIcon connectIcon();     // toolbar image 1
QIcon disconnectIcon();  // toolbar image 2
QIcon callReceiveIcon(); // toolbar image 3
QIcon messageBoxIcon();
QIcon reportsIcon();
QIcon exitIcon();
QPixmap splashPicture();
QPixmap waitPicture();

} // namespace ui
