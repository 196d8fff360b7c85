// Draws Vorda's pictures and icon into PNG files:
//   vorda-make-art <output folder> [<icon theme folder>]
// The PNGs are committed in resources/images/ and compiled into the program.
// With a second folder it also writes the program icon for the desktop's icon
// theme there: hicolor/<N>x<N>/apps/vorda.png in the usual sizes and
// hicolor/scalable/apps/vorda.svg, drawn from the same shapes as the PNGs
// (packaging/icons/, installed with the program).
// Run resources/art/make-art.sh after changing this file.

#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <QtMath>

#include <cmath>
#include <cstdio>
#include <vector>

namespace {

// Palette.
const QColor kNavy(0x12, 0x2f, 0x4f);
const QColor kBlue(0x1f, 0x5f, 0x9a);
const QColor kSky(0x3b, 0x8e, 0xd0);
const QColor kTeal(0x1e, 0x9e, 0x8f);
const QColor kOrange(0xf0, 0x8a, 0x24);
const QColor kInk(0x1c, 0x28, 0x36);
const QColor kMuted(0x5b, 0x6b, 0x7d);
const QColor kPaper(0xee, 0xf2, 0xf7);
const QColor kLine(0xc9, 0xd3, 0xde);
const QColor kRed(0xc6, 0x28, 0x28);
const QColor kAmber(0xf2, 0xa9, 0x00);

QString g_out;
// The pictures are drawn at 1 and at 2 device pixels per pixel: Qt loads
// "name@2x.png" instead of "name.png" on a screen scaled by more than 1.5.
int g_scale = 1;

// An image of w x h pixels as the window lays it out, g_scale times as many
// device pixels; a painter on it draws in the window's pixels.
QImage NewImage(int w, int h, const QColor& fill = Qt::transparent)
{
    QImage image(w * g_scale, h * g_scale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(g_scale);
    image.fill(fill);
    return image;
}

void Save(const QImage& image, const char* name, const QString& folder = g_out)
{
    QString file = QString::fromLatin1(name);
    if (image.devicePixelRatio() > 1)
        file.insert(file.lastIndexOf(QLatin1Char('.')), QStringLiteral("@%1x").arg(int(image.devicePixelRatio())));
    const QString path = folder + "/" + file;
    if (!image.save(path, "PNG"))
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    else
        std::printf("%s %dx%d\n", qPrintable(path), image.width(), image.height());
}

QFont Font(int pixelSize, int weight = QFont::Normal)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixelSize);
    font.setWeight(static_cast<QFont::Weight>(weight));
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

void Smooth(QPainter& p)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
}

// Where the shapes of the icon and of the pictures that reuse its parts are
// drawn: a QPainter for the PNGs, or SVG text for the scalable icon. Both get
// the same shapes with the same pens and brushes, so the two icons match.
class Canvas {
public:
    virtual ~Canvas() = default;
    virtual void RoundedRect(const QRectF& r, qreal radius, const QPen& pen, const QBrush& brush) = 0;
    virtual void Ellipse(const QRectF& r, const QPen& pen, const QBrush& brush) = 0;
    // An arc of the ellipse in r, angles in degrees counter-clockwise from three o'clock.
    virtual void Arc(const QRectF& r, int startDeg, int spanDeg, const QPen& pen) = 0;
    virtual void Polygon(const QPolygonF& polygon, const QPen& pen, const QBrush& brush) = 0;
    virtual void Path(const QPainterPath& path, const QPen& pen, const QBrush& brush) = 0;
};

class PainterCanvas : public Canvas {
public:
    explicit PainterCanvas(QPainter& p) : p_(p) {}
    void RoundedRect(const QRectF& r, qreal radius, const QPen& pen, const QBrush& brush) override
    {
        Use(pen, brush);
        p_.drawRoundedRect(r, radius, radius);
    }
    void Ellipse(const QRectF& r, const QPen& pen, const QBrush& brush) override
    {
        Use(pen, brush);
        p_.drawEllipse(r);
    }
    void Arc(const QRectF& r, int startDeg, int spanDeg, const QPen& pen) override
    {
        Use(pen, Qt::NoBrush);
        p_.drawArc(r, startDeg * 16, spanDeg * 16);
    }
    void Polygon(const QPolygonF& polygon, const QPen& pen, const QBrush& brush) override
    {
        Use(pen, brush);
        p_.drawPolygon(polygon);
    }
    void Path(const QPainterPath& path, const QPen& pen, const QBrush& brush) override
    {
        Use(pen, brush);
        p_.drawPath(path);
    }

private:
    void Use(const QPen& pen, const QBrush& brush)
    {
        p_.setPen(pen);
        p_.setBrush(brush);
    }
    QPainter& p_;
};

// Writes the shapes as SVG 1.1 elements; linear gradients in user space
// become <linearGradient> definitions.
class SvgCanvas : public Canvas {
public:
    void RoundedRect(const QRectF& r, qreal radius, const QPen& pen, const QBrush& brush) override
    {
        const qreal rx = qMin(radius, r.width() / 2);
        const qreal ry = qMin(radius, r.height() / 2);
        Element(QStringLiteral("<rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" rx=\"%5\" ry=\"%6\"")
                    .arg(N(r.x()), N(r.y()), N(r.width()), N(r.height()), N(rx), N(ry)),
                pen, brush);
    }
    void Ellipse(const QRectF& r, const QPen& pen, const QBrush& brush) override
    {
        Element(QStringLiteral("<ellipse cx=\"%1\" cy=\"%2\" rx=\"%3\" ry=\"%4\"")
                    .arg(N(r.center().x()), N(r.center().y()), N(r.width() / 2), N(r.height() / 2)),
                pen, brush);
    }
    void Arc(const QRectF& r, int startDeg, int spanDeg, const QPen& pen) override
    {
        const qreal rx = r.width() / 2;
        const qreal ry = r.height() / 2;
        const auto at = [&](int deg) {
            const qreal a = qDegreesToRadians(static_cast<qreal>(deg));
            return QPointF(r.center().x() + rx * std::cos(a), r.center().y() - ry * std::sin(a));
        };
        const QPointF from = at(startDeg);
        const QPointF to = at(startDeg + spanDeg);
        // Counter-clockwise on screen is SVG's negative sweep.
        Element(QStringLiteral("<path d=\"M %1 %2 A %3 %4 0 %5 %6 %7 %8\"")
                    .arg(N(from.x()), N(from.y()), N(rx), N(ry), QString::number(std::abs(spanDeg) > 180 ? 1 : 0),
                         QString::number(spanDeg > 0 ? 0 : 1), N(to.x()), N(to.y())),
                pen, Qt::NoBrush);
    }
    void Polygon(const QPolygonF& polygon, const QPen& pen, const QBrush& brush) override
    {
        QStringList points;
        for (const QPointF& point : polygon)
            points << N(point.x()) + QLatin1Char(',') + N(point.y());
        Element(QStringLiteral("<polygon points=\"%1\"").arg(points.join(QLatin1Char(' '))), pen, brush);
    }
    void Path(const QPainterPath& path, const QPen& pen, const QBrush& brush) override
    {
        QString d;
        for (int i = 0; i < path.elementCount(); ++i) {
            const QPainterPath::Element e = path.elementAt(i);
            switch (e.type) {
            case QPainterPath::MoveToElement:
                d += QStringLiteral("M %1 %2 ").arg(N(e.x), N(e.y));
                break;
            case QPainterPath::LineToElement:
                d += QStringLiteral("L %1 %2 ").arg(N(e.x), N(e.y));
                break;
            case QPainterPath::CurveToElement: {
                const QPainterPath::Element c2 = path.elementAt(i + 1);
                const QPainterPath::Element end = path.elementAt(i + 2);
                d += QStringLiteral("C %1 %2 %3 %4 %5 %6 ")
                         .arg(N(e.x), N(e.y), N(c2.x), N(c2.y), N(end.x), N(end.y));
                i += 2;
                break;
            }
            case QPainterPath::CurveToDataElement:
                break;
            }
        }
        Element(QStringLiteral("<path d=\"%1Z\"").arg(d), pen, brush);
    }

    QByteArray Document(int size) const
    {
        QString svg = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                     "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" "
                                     "width=\"%1\" height=\"%1\" viewBox=\"0 0 %1 %1\">\n")
                          .arg(size);
        svg += QStringLiteral("  <title>Vorda</title>\n");
        if (!defs_.isEmpty())
            svg += QStringLiteral("  <defs>\n") + defs_ + QStringLiteral("  </defs>\n");
        svg += body_ + QStringLiteral("</svg>\n");
        return svg.toUtf8();
    }

private:
    static QString N(qreal v) { return QString::number(std::round(v * 1000) / 1000, 'g', 10); }

    static QString Color(const QColor& c) { return c.name(QColor::HexRgb); }

    static QString Opacity(const char* attribute, const QColor& c)
    {
        return c.alpha() == 255 ? QString()
                                : QStringLiteral(" %1=\"%2\"").arg(QLatin1String(attribute), N(c.alphaF()));
    }

    QString Paint(const QBrush& brush)
    {
        switch (brush.style()) {
        case Qt::NoBrush:
            return QStringLiteral(" fill=\"none\"");
        case Qt::SolidPattern:
            return QStringLiteral(" fill=\"%1\"").arg(Color(brush.color())) + Opacity("fill-opacity", brush.color());
        case Qt::LinearGradientPattern: {
            const auto* g = static_cast<const QLinearGradient*>(brush.gradient());
            const QString id = QStringLiteral("g%1").arg(++gradients_);
            defs_ += QStringLiteral("    <linearGradient id=\"%1\" gradientUnits=\"userSpaceOnUse\" x1=\"%2\" "
                                    "y1=\"%3\" x2=\"%4\" y2=\"%5\">\n")
                         .arg(id, N(g->start().x()), N(g->start().y()), N(g->finalStop().x()), N(g->finalStop().y()));
            for (const QGradientStop& stop : g->stops()) {
                defs_ += QStringLiteral("      <stop offset=\"%1\" stop-color=\"%2\"%3/>\n")
                             .arg(N(stop.first), Color(stop.second), Opacity("stop-opacity", stop.second));
            }
            defs_ += QStringLiteral("    </linearGradient>\n");
            return QStringLiteral(" fill=\"url(#%1)\"").arg(id);
        }
        default:
            std::fprintf(stderr, "SvgCanvas: unsupported brush\n");
            return QStringLiteral(" fill=\"none\"");
        }
    }

    static QString Stroke(const QPen& pen)
    {
        if (pen.style() == Qt::NoPen)
            return QStringLiteral(" stroke=\"none\"");
        const QString cap = pen.capStyle() == Qt::RoundCap ? QStringLiteral("round")
                            : pen.capStyle() == Qt::FlatCap ? QStringLiteral("butt")
                                                            : QStringLiteral("square");
        const QString join = pen.joinStyle() == Qt::RoundJoin ? QStringLiteral("round")
                             : pen.joinStyle() == Qt::MiterJoin ? QStringLiteral("miter")
                                                                : QStringLiteral("bevel");
        return QStringLiteral(" stroke=\"%1\"%2 stroke-width=\"%3\" stroke-linecap=\"%4\" stroke-linejoin=\"%5\"")
            .arg(Color(pen.color()), Opacity("stroke-opacity", pen.color()), N(pen.widthF()), cap, join);
    }

    void Element(const QString& start, const QPen& pen, const QBrush& brush)
    {
        body_ += QStringLiteral("  ") + start + Paint(brush) + Stroke(pen) + QStringLiteral("/>\n");
    }

    QString defs_;
    QString body_;
    int gradients_ = 0;
};

// A database cylinder of three discs, centred at (cx, cy) with width w and height h.
void DrawCylinder(Canvas& c, qreal cx, qreal cy, qreal w, qreal h, const QColor& body, const QColor& rim)
{
    const qreal rx = w / 2;
    const qreal ry = w / 7;
    const qreal top = cy - h / 2 + ry;
    const qreal bottom = cy + h / 2 - ry;
    QPainterPath side;
    side.moveTo(cx - rx, top);
    side.lineTo(cx - rx, bottom);
    side.arcTo(QRectF(cx - rx, bottom - ry, w, 2 * ry), 180, 180);
    side.lineTo(cx + rx, top);
    side.closeSubpath();
    QLinearGradient shade(cx - rx, 0, cx + rx, 0);
    shade.setColorAt(0, body.darker(112));
    shade.setColorAt(0.45, body.lighter(108));
    shade.setColorAt(1, body.darker(125));
    c.Path(side, Qt::NoPen, shade);
    // The separations between the discs.
    const QPen band(rim, qMax<qreal>(1.0, w / 40));
    for (int i = 1; i <= 2; ++i) {
        const qreal y = top + (bottom - top) * i / 3.0;
        c.Arc(QRectF(cx - rx, y - ry, w, 2 * ry), 180, 180, band);
    }
    // The lid.
    c.Ellipse(QRectF(cx - rx, top - ry, w, 2 * ry), band, body.lighter(125));
}

// A circular arrow (the "backup" sign) around (cx, cy).
void DrawCycleArrow(Canvas& c, qreal cx, qreal cy, qreal r, qreal width, const QColor& color, int startDeg,
                    int spanDeg)
{
    const QRectF box(cx - r, cy - r, 2 * r, 2 * r);
    c.Arc(box, startDeg, spanDeg, QPen(color, width, Qt::SolidLine, Qt::RoundCap));
    // Arrow head at the end of the arc, pointing along it (counter-clockwise).
    const qreal end = qDegreesToRadians(static_cast<qreal>(startDeg + spanDeg));
    const QPointF tip(cx + r * std::cos(end), cy - r * std::sin(end));
    const QPointF tangent(-std::sin(end), -std::cos(end));
    const QPointF normal(std::cos(end), -std::sin(end));
    const qreal head = width * 1.9;
    QPolygonF arrow;
    arrow << tip + tangent * head * 1.2 << tip + normal * head << tip - normal * head;
    c.Polygon(arrow, Qt::NoPen, color);
}

// The logo mark: a rounded square with a cylinder and a circular arrow.
void DrawLogoMark(Canvas& c, const QRectF& r)
{
    const qreal radius = r.width() * 0.22;
    QLinearGradient bg(r.topLeft(), r.bottomRight());
    bg.setColorAt(0, kSky);
    bg.setColorAt(1, kNavy);
    c.RoundedRect(r, radius, Qt::NoPen, bg);
    // Gloss.
    QLinearGradient gloss(r.topLeft(), QPointF(r.left(), r.center().y()));
    gloss.setColorAt(0, QColor(255, 255, 255, 70));
    gloss.setColorAt(1, QColor(255, 255, 255, 0));
    c.RoundedRect(QRectF(r.left(), r.top(), r.width(), r.height() / 2), radius, Qt::NoPen, gloss);
    const qreal s = r.width();
    DrawCycleArrow(c, r.center().x(), r.center().y(), s * 0.36, s * 0.065, kOrange, 120, 285);
    DrawCylinder(c, r.center().x(), r.center().y() + s * 0.02, s * 0.40, s * 0.46, QColor(0xf4, 0xf8, 0xfc),
                 QColor(0x9c, 0xb6, 0xd1));
}

void DrawLogoMark(QPainter& p, const QRectF& r)
{
    PainterCanvas canvas(p);
    DrawLogoMark(canvas, r);
}

// The program icon at one size, with the margin that every icon size keeps.
QImage IconImage(int size)
{
    QImage image = NewImage(size, size);
    QPainter p(&image);
    Smooth(p);
    DrawLogoMark(p, QRectF(size * 0.03, size * 0.03, size * 0.94, size * 0.94));
    return image;
}

void MakeIcon()
{
    for (int size : {256, 64, 32, 16}) {
        const QByteArray name = "icon_" + QByteArray::number(size) + ".png";
        Save(IconImage(size), name.constData());
    }
}

// The program icon in the hicolor theme layout: PNGs at the sizes desktops
// ask for and the scalable SVG.
void MakeThemeIcons(const QString& folder)
{
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString dir = QStringLiteral("hicolor/%1x%1/apps").arg(size);
        QDir(folder).mkpath(dir);
        const QByteArray name = (dir + QStringLiteral("/vorda.png")).toUtf8();
        Save(IconImage(size), name.constData(), folder);
    }
    const int size = 256;
    SvgCanvas svg;
    DrawLogoMark(svg, QRectF(size * 0.03, size * 0.03, size * 0.94, size * 0.94));
    QDir(folder).mkpath(QStringLiteral("hicolor/scalable/apps"));
    QFile file(folder + QStringLiteral("/hicolor/scalable/apps/vorda.svg"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(svg.Document(size)) < 0)
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
    else
        std::printf("%s\n", qPrintable(file.fileName()));
}

void MakeBackground()
{
    const int w = 900;
    const int h = 640;
    QImage image = NewImage(w, h, kPaper);
    QPainter p(&image);
    Smooth(p);
    // Body: a light, slightly cool gradient.
    QLinearGradient body(0, 56, 0, h);
    body.setColorAt(0, QColor(0xe6, 0xec, 0xf3));
    body.setColorAt(1, QColor(0xd5, 0xdf, 0xea));
    p.fillRect(QRect(0, 56, w, h - 56), body);
    // Faint diagonal lines for texture.
    p.setPen(QPen(QColor(255, 255, 255, 60), 1));
    for (int x = -h; x < w; x += 14)
        p.drawLine(x, h, x + h, 56);
    // Header band.
    QLinearGradient band(0, 0, w, 0);
    band.setColorAt(0, kNavy);
    band.setColorAt(0.65, kBlue);
    band.setColorAt(1, QColor(0x25, 0x79, 0xa8));
    p.fillRect(QRect(0, 0, w, 56), band);
    p.fillRect(QRect(0, 53, w, 3), kOrange);
    // Panels behind the menu and the work area, with a soft shadow.
    for (const QRect& panel : {QRect(20, 61, 200, 520), QRect(239, 61, 640, 520)}) {
        for (int i = 4; i >= 1; --i) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(20, 40, 70, 14));
            p.drawRoundedRect(panel.adjusted(-i, -i + 2, i, i + 2), 4 + i, 4 + i);
        }
        p.setBrush(Qt::white);
        p.setPen(QPen(kLine, 1));
        p.drawRect(QRectF(panel).adjusted(-0.5, -0.5, 0.5, 0.5));
    }
    // Footer.
    p.setPen(kMuted);
    p.setFont(Font(11));
    p.drawText(QRect(239, 592, 640, 30), Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("Vorda Quendal System 2.1.2.4  \u00b7  MySQL and MariaDB backups"));
    p.end();
    Save(image, "background.png");
}

void MakeBanner()
{
    QImage image = NewImage(470, 48);
    QPainter p(&image);
    Smooth(p);
    DrawLogoMark(p, QRectF(2, 4, 40, 40));
    p.setPen(Qt::white);
    p.setFont(Font(26, QFont::Bold));
    p.drawText(QRect(54, 0, 120, 48), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Vorda"));
    const int wordWidth = QFontMetrics(Font(26, QFont::Bold)).horizontalAdvance(QStringLiteral("Vorda"));
    const int x = 54 + wordWidth + 14;
    p.setPen(QColor(255, 255, 255, 90));
    p.drawLine(x - 7, 12, x - 7, 38);
    p.setPen(QColor(0xdc, 0xe9, 0xf5));
    p.setFont(Font(14, QFont::DemiBold));
    p.drawText(QRect(x, 7, 470 - x, 20), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Quendal System"));
    p.setPen(QColor(0xa9, 0xc4, 0xdd));
    p.setFont(Font(11));
    p.drawText(QRect(x, 25, 470 - x, 18), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Backup manager for MySQL and MariaDB"));
    p.end();
    Save(image, "banner.png");
}

// A page of a dump file, folded at the corner, with text lines.
void DrawDocument(QPainter& p, const QRectF& r)
{
    const qreal fold = r.width() * 0.28;
    QPainterPath page;
    page.moveTo(r.topLeft());
    page.lineTo(r.right() - fold, r.top());
    page.lineTo(r.right(), r.top() + fold);
    page.lineTo(r.bottomRight());
    page.lineTo(r.bottomLeft());
    page.closeSubpath();
    p.setPen(QPen(QColor(0x9c, 0xb6, 0xd1), 1.5));
    p.setBrush(Qt::white);
    p.drawPath(page);
    QPainterPath corner;
    corner.moveTo(r.right() - fold, r.top());
    corner.lineTo(r.right() - fold, r.top() + fold);
    corner.lineTo(r.right(), r.top() + fold);
    corner.closeSubpath();
    p.setBrush(QColor(0xe3, 0xec, 0xf5));
    p.drawPath(corner);
    p.setPen(QPen(QColor(0xb8, 0xc8, 0xd8), 2.2, Qt::SolidLine, Qt::RoundCap));
    const qreal left = r.left() + r.width() * 0.16;
    for (int i = 0; i < 5; ++i) {
        const qreal y = r.top() + fold + 6 + i * (r.height() - fold - 12) / 5.0;
        const qreal right = r.right() - r.width() * (i % 2 ? 0.30 : 0.16);
        p.drawLine(QPointF(left, y), QPointF(right, y));
    }
}

void DrawCheckBadge(QPainter& p, const QPointF& c, qreal r)
{
    p.setPen(QPen(Qt::white, 2));
    p.setBrush(kTeal);
    p.drawEllipse(c, r, r);
    QPen tick(Qt::white, r * 0.32, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(tick);
    p.setBrush(Qt::NoBrush);
    QPolygonF mark;
    mark << c + QPointF(-r * 0.45, 0) << c + QPointF(-r * 0.1, r * 0.38) << c + QPointF(r * 0.5, -r * 0.35);
    p.drawPolyline(mark);
}

void MakeMenuPicture()
{
    const int w = 176;
    const int h = 120;
    QImage image = NewImage(w, h, Qt::white);
    QPainter p(&image);
    Smooth(p);
    // Soft round backdrop.
    QRadialGradient glow(QPointF(w / 2.0, h / 2.0), 80);
    glow.setColorAt(0, QColor(0xe4, 0xef, 0xfa));
    glow.setColorAt(1, QColor(255, 255, 255));
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawEllipse(QPointF(w / 2.0, h / 2.0), 84, 56);
    PainterCanvas canvas(p);
    DrawCylinder(canvas, 48, 58, 46, 62, kBlue, QColor(0x0f, 0x3a, 0x63));
    // Arrow from the server to the file.
    QPen arrowPen(kOrange, 4, Qt::SolidLine, Qt::RoundCap);
    p.setPen(arrowPen);
    p.drawLine(QPointF(78, 58), QPointF(104, 58));
    p.setPen(Qt::NoPen);
    p.setBrush(kOrange);
    p.drawPolygon(QPolygonF() << QPointF(112, 58) << QPointF(101, 50) << QPointF(101, 66));
    DrawDocument(p, QRectF(118, 28, 42, 56));
    DrawCheckBadge(p, QPointF(156, 82), 11);
    p.setPen(kMuted);
    p.setFont(Font(10, QFont::DemiBold));
    p.drawText(QRect(0, 98, w, 18), Qt::AlignCenter, QStringLiteral("Safe, scheduled backups"));
    p.end();
    Save(image, "menu_picture.png");
}

enum class Caption { Error, Alert, Question };

void MakeCaption(Caption kind, const char* file)
{
    const int w = 220;
    const int h = 40;
    QImage image = NewImage(w, h);
    QPainter p(&image);
    Smooth(p);
    const QPointF c(20, 20);
    QString word;
    QColor color;
    switch (kind) {
    case Caption::Error: {
        word = QStringLiteral("Error");
        color = kRed;
        p.setPen(Qt::NoPen);
        p.setBrush(color);
        p.drawEllipse(c, 16, 16);
        QPen cross(Qt::white, 4, Qt::SolidLine, Qt::RoundCap);
        p.setPen(cross);
        p.drawLine(c + QPointF(-6.5, -6.5), c + QPointF(6.5, 6.5));
        p.drawLine(c + QPointF(-6.5, 6.5), c + QPointF(6.5, -6.5));
        break;
    }
    case Caption::Alert: {
        word = QStringLiteral("Alert");
        color = QColor(0xb2, 0x6a, 0x00);
        QPainterPath triangle;
        triangle.moveTo(c.x(), 3);
        triangle.lineTo(c.x() + 18, 36);
        triangle.lineTo(c.x() - 18, 36);
        triangle.closeSubpath();
        p.setPen(QPen(kAmber.darker(110), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(kAmber);
        p.drawPath(triangle);
        p.setPen(QPen(Qt::white, 4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(c.x(), 14), QPointF(c.x(), 24));
        p.drawPoint(QPointF(c.x(), 30.5));
        break;
    }
    case Caption::Question: {
        word = QStringLiteral("Yes or No?");
        color = kBlue;
        p.setPen(Qt::NoPen);
        p.setBrush(kSky);
        p.drawEllipse(c, 16, 16);
        p.setPen(Qt::white);
        p.setFont(Font(24, QFont::Bold));
        p.drawText(QRectF(c.x() - 16, c.y() - 17, 32, 34), Qt::AlignCenter, QStringLiteral("?"));
        break;
    }
    }
    p.setPen(color);
    p.setFont(Font(22, QFont::Bold));
    p.drawText(QRect(46, 0, w - 46, h), Qt::AlignLeft | Qt::AlignVCenter, word);
    p.end();
    Save(image, file);
}

void MakeMessageBackground()
{
    const int w = 440;
    const int h = 230;
    QImage image = NewImage(w, h, Qt::white);
    QPainter p(&image);
    Smooth(p);
    QLinearGradient band(0, 0, w, 0);
    band.setColorAt(0, kNavy);
    band.setColorAt(1, kSky);
    p.fillRect(QRect(0, 0, w, 5), band);
    // A faint watermark of the logo cylinder at the right of the caption
    // row, above the rule: the box's text and buttons lie below the rule, so
    // however long a message is, nothing is written over the picture.
    p.setOpacity(0.10);
    PainterCanvas canvas(p);
    DrawCylinder(canvas, w - 42, 31, 30, 40, kBlue, kNavy);
    p.setOpacity(1);
    p.setPen(QPen(QColor(0xe3, 0xe9, 0xf0), 1));
    p.drawLine(16, 56, w - 16, 56);
    p.end();
    Save(image, "message_background.png");
}

void MakeAutoRunIndicator()
{
    const int w = 200;
    const int h = 30;
    QImage image = NewImage(w, h);
    QPainter p(&image);
    Smooth(p);
    QLinearGradient pill(0, 0, 0, h);
    pill.setColorAt(0, QColor(0x22, 0xb0, 0x9f));
    pill.setColorAt(1, QColor(0x15, 0x86, 0x79));
    p.setPen(QPen(QColor(0x10, 0x6b, 0x61), 1));
    p.setBrush(pill);
    p.drawRoundedRect(QRectF(0.5, 0.5, w - 1, h - 1), h / 2.0, h / 2.0);
    PainterCanvas canvas(p);
    DrawCycleArrow(canvas, 17, 15, 7.5, 2.4, Qt::white, 100, 290);
    // The largest bold size at which the text fits beside the arrow.
    const QString text = QStringLiteral("Automatic Backup Running");
    int size = 13;
    while (size > 8 && QFontMetrics(Font(size, QFont::Bold)).horizontalAdvance(text) > w - 42)
        --size;
    p.setPen(Qt::white);
    p.setFont(Font(size, QFont::Bold));
    p.drawText(QRect(32, 0, w - 38, h), Qt::AlignLeft | Qt::AlignVCenter, text);
    p.end();
    Save(image, "auto_run_indicator.png");
}

void DrawStep(QPainter& p, const QRect& card, int number, const QString& title, const QString& text,
              const QString& where)
{
    p.setPen(QPen(kLine, 1));
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(card).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
    const QPointF c(card.left() + 34, card.top() + 36);
    QLinearGradient disc(c.x(), c.y() - 20, c.x(), c.y() + 20);
    disc.setColorAt(0, kSky);
    disc.setColorAt(1, kBlue);
    p.setPen(Qt::NoPen);
    p.setBrush(disc);
    p.drawEllipse(c, 20, 20);
    p.setPen(Qt::white);
    p.setFont(Font(22, QFont::Bold));
    p.drawText(QRectF(c.x() - 20, c.y() - 21, 40, 42), Qt::AlignCenter, QString::number(number));
    const int textLeft = card.left() + 68;
    p.setPen(kInk);
    p.setFont(Font(17, QFont::Bold));
    p.drawText(QRect(textLeft, card.top() + 12, card.right() - textLeft - 10, 24), Qt::AlignLeft | Qt::AlignVCenter,
               title);
    p.setPen(kMuted);
    p.setFont(Font(12));
    p.drawText(QRect(textLeft, card.top() + 38, card.right() - textLeft - 14, 44), Qt::TextWordWrap, text);
    p.setPen(kBlue);
    p.setFont(Font(11, QFont::DemiBold));
    p.drawText(QRect(textLeft, card.bottom() - 22, card.right() - textLeft - 14, 16), Qt::AlignLeft | Qt::AlignVCenter,
               where);
}

void MakeQuickStart()
{
    const int w = 600;
    const int h = 500;
    QImage image = NewImage(w, h, kPaper);
    QPainter p(&image);
    Smooth(p);
    // Header.
    QLinearGradient band(0, 0, w, 0);
    band.setColorAt(0, kNavy);
    band.setColorAt(1, kBlue);
    p.fillRect(QRect(0, 0, w, 84), band);
    p.fillRect(QRect(0, 84, w, 3), kOrange);
    DrawLogoMark(p, QRectF(22, 18, 48, 48));
    p.setPen(Qt::white);
    p.setFont(Font(24, QFont::Bold));
    p.drawText(QRect(86, 14, w - 100, 32), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Welcome to Vorda"));
    p.setPen(QColor(0xc8, 0xdb, 0xee));
    p.setFont(Font(13));
    p.drawText(QRect(86, 46, w - 100, 24), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Your first backup in three steps"));

    const int left = 24;
    const int width = w - 2 * left;
    DrawStep(p, QRect(left, 104, width, 96), 1, QStringLiteral("Create a New Connection"),
             QStringLiteral("Tell Vorda how to reach your MySQL or MariaDB server: host, port, database, "
                            "user name and password. Test the connection, then save it."),
             QStringLiteral("Menu \u25b8 Create a New Connection"));
    DrawStep(p, QRect(left, 212, width, 96), 2, QStringLiteral("Create a New Database Backup"),
             QStringLiteral("Name the backup, choose the connection, connect to the site and pick the tables "
                            "to copy. Add schedules if it should run by itself."),
             QStringLiteral("Menu \u25b8 Create a New Backup"));
    DrawStep(p, QRect(left, 320, width, 96), 3, QStringLiteral("Execute a Backup"),
             QStringLiteral("Double-click your backup in the list and confirm. Vorda copies every chosen table "
                            "into its backup file and records the result in the history log."),
             QStringLiteral("Menu \u25b8 Execute a Backup"));

    // Pointer to the Help button.
    const QRect help(left, 430, width, 50);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xfd, 0xf0, 0xe1));
    p.drawRoundedRect(help, 8, 8);
    p.setPen(QColor(0x8a, 0x4b, 0x08));
    p.setFont(Font(13, QFont::DemiBold));
    p.drawText(help.adjusted(18, 0, -150, 0), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Want to know more? Click the Help button"));
    // A small "Help" button drawing with an arrow pointing at it.
    const QRectF button(help.right() - 104, help.top() + 11, 86, 28);
    p.setPen(QPen(kOrange.darker(115), 1.5));
    p.setBrush(Qt::white);
    p.drawRoundedRect(button, 5, 5);
    p.setPen(kInk);
    p.setFont(Font(13, QFont::Bold));
    p.drawText(button, Qt::AlignCenter, QStringLiteral("Help"));
    QPen arrow(kOrange, 3, Qt::SolidLine, Qt::RoundCap);
    p.setPen(arrow);
    const qreal ay = help.center().y();
    p.drawLine(QPointF(button.left() - 34, ay), QPointF(button.left() - 10, ay));
    p.setPen(Qt::NoPen);
    p.setBrush(kOrange);
    p.drawPolygon(QPolygonF() << QPointF(button.left() - 4, ay) << QPointF(button.left() - 13, ay - 7)
                              << QPointF(button.left() - 13, ay + 7));
    p.end();
    Save(image, "quick_start.png");
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: vorda-make-art <output folder> [<icon theme folder>]\n");
        return 2;
    }
    g_out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(g_out);
    MakeIcon();
    for (int scale : {1, 2}) {
        g_scale = scale;
        MakeBackground();
        MakeBanner();
        MakeMenuPicture();
        MakeCaption(Caption::Error, "caption_error.png");
        MakeCaption(Caption::Alert, "caption_alert.png");
        MakeCaption(Caption::Question, "caption_yes_no.png");
        MakeMessageBackground();
        MakeAutoRunIndicator();
        MakeQuickStart();
    }
    g_scale = 1;
    if (argc == 3)
        MakeThemeIcons(QString::fromLocal8Bit(argv[2]));
    return 0;
}
