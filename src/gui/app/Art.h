#pragma once

#include <QIcon>
#include <QPixmap>

// Vorda's pictures and icon, compiled into the program (resources/images).

// Makes the compiled-in pictures and help pages available; safe to call often.
void EnsureResources();

// The picture of a bitmap id of ResourceIds.h (IDB_...); a null pixmap for an
// unknown id.
QPixmap Bitmap(int bitmapId);

// The program icon (IDR_MAINFRAME) in all its sizes.
QIcon ProgramIcon();

// The program icon with a warning sign over its lower right corner: the tray
// icon while a scheduled backup has failed unseen.
QIcon WarningIcon();
