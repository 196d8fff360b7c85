#include "gui/app/Art.h"

#include "resources/ResourceIds.h"

#include <QPainter>
#include <QPolygonF>
#include <QString>

#include <algorithm>

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

QIcon WarningIcon()
{
    EnsureResources();
    QIcon icon;
    for (int size : {16, 32, 64, 256}) {
        QPixmap picture(QStringLiteral(":/vorda/images/icon_%1.png").arg(size));
        if (picture.isNull())
            continue;
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        // A yellow triangle with a black "!" over the lower right 60 %.
        const qreal side = size * 0.6;
        const QPointF origin(size - side, size - side);
        const QPolygonF triangle({origin + QPointF(side / 2, 0), origin + QPointF(side, side), origin + QPointF(0, side)});
        painter.setPen(QPen(QColor(40, 30, 0), std::max(1.0, size / 24.0)));
        painter.setBrush(QColor(250, 190, 20));
        painter.drawPolygon(triangle);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(20, 20, 20));
        const qreal w = std::max(1.5, side / 9);
        painter.drawRect(QRectF(origin.x() + side / 2 - w / 2, origin.y() + side * 0.32, w, side * 0.38));
        painter.drawRect(QRectF(origin.x() + side / 2 - w / 2, origin.y() + side * 0.78, w, w));
        painter.end();
        icon.addPixmap(picture);
    }
    return icon;
}
