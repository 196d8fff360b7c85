#include "gui/app/Art.h"

#include "resources/ResourceIds.h"

#include <QString>

// The resource initialiser lives in a static library; referencing it keeps it
// linked in. Q_INIT_RESOURCE must be used outside any namespace.
static void InitVordaQrc()
{
    Q_INIT_RESOURCE(vorda);
    Q_INIT_RESOURCE(vorda_screenshots);
}

void EnsureResources()
{
    static const bool done = [] {
        InitVordaQrc();
        return true;
    }();
    (void)done;
}

QPixmap Bitmap(int bitmapId)
{
    EnsureResources();
    const char* file = nullptr;
    switch (bitmapId) {
    case rid::IDB_BACKGROUND: file = "background.png"; break;
    case rid::IDB_BANNER: file = "banner.png"; break;
    case rid::IDB_MENU_PICTURE: file = "menu_picture.png"; break;
    case rid::IDB_MESSAGE_BACKGROUND: file = "message_background.png"; break;
    case rid::IDB_CAPTION_YES_NO: file = "caption_yes_no.png"; break;
    case rid::IDB_CAPTION_ALERT: file = "caption_alert.png"; break;
    case rid::IDB_CAPTION_ERROR: file = "caption_error.png"; break;
    case rid::IDB_AUTO_RUN_INDICATOR: file = "auto_run_indicator.png"; break;
    case rid::IDB_QUICK_START: file = "quick_start.png"; break;
    default: return {};
    }
    return QPixmap(QStringLiteral(":/vorda/images/") + QString::fromLatin1(file));
}

QIcon ProgramIcon()
{
    EnsureResources();
    QIcon icon;
    for (int size : {16, 32, 64, 256})
        icon.addFile(QStringLiteral(":/vorda/images/icon_%1.png").arg(size), QSize(size, size));
    return icon;
}
