#include "plot/plot_render.h"

#include <QBuffer>
#include <QByteArray>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QPolygonF>
#include <QSvgGenerator>

#include <algorithm>
#include <cmath>
#include <string_view>

#include "matrix/file_error.h"
#include "matrix/text_file.h"

namespace pelvanor {

namespace {

// The Okabe-Ito palette: eight colours that stay apart for the common
// colour vision deficiencies (and in grey print by their lightness).
const QColor kBlack(0, 0, 0);
const QColor kOrange(230, 159, 0);
const QColor kSkyBlue(86, 180, 233);
const QColor kBluishGreen(0, 158, 115);
const QColor kBlue(0, 114, 178);
const QColor kVermillion(213, 94, 0);
const QColor kReddishPurple(204, 121, 167);
const QColor kGrey(120, 120, 120);

// Where a legend's text starts, in font heights from the legend's left edge.
constexpr double kLegendText = 2.8;

QString Q(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// The font with a pixel size (points at 96 dots per inch), so that a page
// looks the same on every device it is painted on.
QFont PixelFont(const QFont& font) {
    QFont f = font;
    if (f.pixelSize() <= 0) {
        const double points = f.pointSizeF() > 0.0 ? f.pointSizeF() : 9.0;
        f.setPixelSize(std::max(8, static_cast<int>(std::lround(points * 96.0 / 72.0))));
    }
    return f;
}

QFont Bold(QFont f) {
    f.setBold(true);
    return f;
}

QFont Smaller(QFont f) {
    f.setPixelSize(std::max(7, f.pixelSize() * 5 / 6));
    return f;
}

// The unit of every size on the page: the font's pixel height.
double Unit(const QFont& font) { return static_cast<double>(PixelFont(font).pixelSize()); }

struct Layout {
    QRectF title;    // two lines
    QRectF drawing;
    QRectF legend;
    QRectF bars;
};

Layout PageLayout(const PlotScene& scene, const QRectF& page, const QFont& font) {
    const QFont f = PixelFont(font);
    const QFontMetricsF fm(f);
    const QFontMetricsF bold(Bold(f));
    const double u = Unit(f);
    const double pad = 0.6 * u;
    Layout l;
    const double titleHeight = bold.height() + fm.height() + 1.5 * pad;
    l.title = QRectF(page.left() + pad, page.top() + pad, page.width() - 2 * pad, titleHeight);
    double legendWidth = 0.0;
    for (const PlotLegendEntry& e : scene.legend) legendWidth = std::max(legendWidth, fm.horizontalAdvance(Q(e.text)));
    // Slack for a viewer that sets an SVG's text in a wider face.
    if (legendWidth > 0.0) legendWidth = std::min(legendWidth * 1.1 + kLegendText * u + 2 * pad, page.width() * 0.35);
    const double barsHeight = fm.height() + 1.2 * u + 2 * pad;
    const double top = l.title.bottom() + pad;
    const double bottom = page.bottom() - pad - barsHeight;
    const double right = page.right() - pad - (legendWidth > 0.0 ? legendWidth + pad : 0.0);
    l.drawing = QRectF(page.left() + pad, top, std::max(1.0, right - page.left() - pad), std::max(1.0, bottom - top));
    l.legend = QRectF(right + pad, top, legendWidth, l.drawing.height());
    l.bars = QRectF(page.left() + pad, bottom + pad, l.drawing.width(), barsHeight - pad);
    return l;
}

void ArrowHead(QPainter& p, const QPointF& from, const QPointF& tip, double size) {
    const double dx = tip.x() - from.x();
    const double dy = tip.y() - from.y();
    const double length = std::hypot(dx, dy);
    if (length < 2.0 * size || !(size > 0.0)) return;
    const double ux = dx / length;
    const double uy = dy / length;
    const QPointF back(tip.x() - ux * size, tip.y() - uy * size);
    const QPointF side(-uy * size * 0.45, ux * size * 0.45);
    p.drawLine(tip, back + side);
    p.drawLine(tip, back - side);
}

void Triangle(QPainter& p, const QPointF& c, double r) {
    const QPolygonF t({QPointF(c.x(), c.y() - 1.25 * r), QPointF(c.x() + 1.15 * r, c.y() + 0.8 * r),
                       QPointF(c.x() - 1.15 * r, c.y() + 0.8 * r)});
    p.drawPolygon(t);
}

// A point's symbol: triangle for a control point, circle otherwise; filled
// when it entered the adjustment; vermillion with a cross when the robust
// estimation removed it; a reddish purple square around it when it failed
// the F-test.  Shape and colour both carry the meaning.
void DrawPoint(QPainter& p, const PlotPoint& point, const QPointF& c, double r) {
    if (point.dot) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(150, 150, 150));
        p.drawEllipse(c, 0.4 * r, 0.4 * r);
        return;
    }
    const QColor colour = point.robustOutlier ? kVermillion : point.control ? kBluishGreen : kBlue;
    p.setPen(QPen(colour, std::max(1.0, r / 3.0)));
    p.setBrush(point.adjusted ? QBrush(colour) : QBrush(Qt::white));
    if (point.control) {
        Triangle(p, c, r);
    } else {
        p.drawEllipse(c, r, r);
    }
    if (point.robustOutlier) {
        p.setPen(QPen(kVermillion, std::max(1.2, r / 2.5)));
        const double k = 1.9 * r;
        p.drawLine(QPointF(c.x() - k, c.y() - k), QPointF(c.x() + k, c.y() + k));
        p.drawLine(QPointF(c.x() - k, c.y() + k), QPointF(c.x() + k, c.y() - k));
    }
    if (point.fTestFailed) {
        p.setPen(QPen(kReddishPurple, std::max(1.4, r / 2.2)));
        p.setBrush(Qt::NoBrush);
        const double k = 2.2 * r;
        p.drawRect(QRectF(c.x() - k, c.y() - k, 2 * k, 2 * k));
    }
}

// The pen of a vector or a line: the distortion before the calibration
// vermillion and dashed, after it blue and solid, so that the two part in
// grey print as well.
QPen StrokePen(PlotStroke stroke, bool line) {
    switch (stroke) {
        case PlotStroke::Axis: return QPen(kGrey, 1.2);
        case PlotStroke::Grid: return QPen(QColor(215, 215, 215), 0.8);
        case PlotStroke::Before: {
            QPen pen(kVermillion, line ? 2.0 : 1.3);
            pen.setStyle(Qt::DashLine);
            return pen;
        }
        case PlotStroke::After: return QPen(kBlue, line ? 2.0 : 1.4);
        case PlotStroke::Plain: break;
    }
    return QPen(kBlack, 1.3);
}

// A vector from a to b in its pen, the arrow head solid.
void DrawArrow(QPainter& p, QPen pen, const QPointF& a, const QPointF& b, double head) {
    p.setPen(pen);
    p.drawLine(a, b);
    pen.setStyle(Qt::SolidLine);
    p.setPen(pen);
    ArrowHead(p, a, b, head);
}

void DrawStationSymbol(QPainter& p, const QPointF& c, double r) {
    p.setPen(QPen(kBlack, 1.0));
    p.setBrush(kOrange);
    p.drawRect(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r));
}

// The sample of a legend entry, centred on c.
void DrawLegendSymbol(QPainter& p, PlotSymbol symbol, const QPointF& c, double r) {
    PlotPoint sample;
    switch (symbol) {
        case PlotSymbol::ControlPoint:
            sample.control = true;
            DrawPoint(p, sample, c, r);
            break;
        case PlotSymbol::TiePoint:
            DrawPoint(p, sample, c, r);
            break;
        case PlotSymbol::TiePointNotAdjusted:
            sample.adjusted = false;
            DrawPoint(p, sample, c, r);
            break;
        case PlotSymbol::RobustOutlier:
            sample.robustOutlier = true;
            DrawPoint(p, sample, c, r * 0.8);
            break;
        case PlotSymbol::FTestFailed:
            sample.fTestFailed = true;
            DrawPoint(p, sample, c, r * 0.8);
            break;
        case PlotSymbol::Residual:
        case PlotSymbol::IntersectionResidual: {
            QPen pen(kBlack, 1.4);
            if (symbol == PlotSymbol::IntersectionResidual) pen.setStyle(Qt::DashLine);
            p.setPen(pen);
            const QPointF a(c.x() - 3 * r, c.y());
            const QPointF b(c.x() + 3 * r, c.y());
            p.drawLine(a, b);
            pen.setStyle(Qt::SolidLine);
            p.setPen(pen);
            ArrowHead(p, a, b, 1.6 * r);
            break;
        }
        case PlotSymbol::PrincipalPoint:
            p.setPen(QPen(kGrey, 1.2));
            p.drawLine(QPointF(c.x() - 2 * r, c.y()), QPointF(c.x() + 2 * r, c.y()));
            p.drawLine(QPointF(c.x(), c.y() - 2 * r), QPointF(c.x(), c.y() + 2 * r));
            break;
        case PlotSymbol::Station:
            p.setPen(QPen(kOrange, 2.0));
            p.drawLine(QPointF(c.x() - 2 * r, c.y()), QPointF(c.x() + 3 * r, c.y()));
            ArrowHead(p, QPointF(c.x() - 2 * r, c.y()), QPointF(c.x() + 3 * r, c.y()), 1.6 * r);
            DrawStationSymbol(p, QPointF(c.x() - 2 * r, c.y()), r);
            break;
        case PlotSymbol::Ellipse:
            p.setPen(QPen(kSkyBlue.darker(130), 1.0));
            p.setBrush(QColor(kSkyBlue.red(), kSkyBlue.green(), kSkyBlue.blue(), 90));
            p.drawEllipse(c, 3 * r, 1.6 * r);
            break;
        case PlotSymbol::MeasuredPosition:
            sample.dot = true;
            DrawPoint(p, sample, c, 2 * r);
            break;
        case PlotSymbol::DistortionBefore:
        case PlotSymbol::DistortionAfter:
            DrawArrow(p, StrokePen(symbol == PlotSymbol::DistortionBefore ? PlotStroke::Before : PlotStroke::After, true),
                      QPointF(c.x() - 3 * r, c.y()), QPointF(c.x() + 3 * r, c.y()), 1.6 * r);
            break;
    }
}

// A horizontal scale bar with end ticks and its caption above; returns the
// width taken.
double DrawBar(QPainter& p, const PlotScaleBar& bar, double scale, const QPointF& at, const QFont& font,
               double u) {
    const double length = bar.length * scale;
    if (!(length > 0.0) || bar.label.empty()) return 0.0;
    const QFontMetricsF fm(font);
    p.setFont(font);
    p.setPen(kBlack);
    const double baseline = at.y() + fm.ascent();
    p.drawText(QPointF(at.x(), baseline), Q(bar.label));
    const double y = baseline + fm.descent() + 0.6 * u;
    p.setPen(QPen(kBlack, 2.0));
    p.drawLine(QPointF(at.x(), y), QPointF(at.x() + length, y));
    p.setPen(QPen(kBlack, 1.2));
    p.drawLine(QPointF(at.x(), y - 0.4 * u), QPointF(at.x(), y + 0.4 * u));
    p.drawLine(QPointF(at.x() + length, y - 0.4 * u), QPointF(at.x() + length, y + 0.4 * u));
    return std::max(length, fm.horizontalAdvance(Q(bar.label)));
}

void DrawAxes(QPainter& p, const PlotScene& scene, const QRectF& area, const QFont& font, double u) {
    const QFontMetricsF fm(font);
    const double len = 2.5 * u;
    const QPointF origin(area.left() + 1.2 * u, scene.yDown ? area.bottom() - 1.2 * u - len : area.bottom() - 1.2 * u);
    p.setPen(QPen(kGrey, 1.2));
    const QPointF xTip(origin.x() + len, origin.y());
    const QPointF yTip(origin.x(), scene.yDown ? origin.y() + len : origin.y() - len);
    p.drawLine(origin, xTip);
    p.drawLine(origin, yTip);
    ArrowHead(p, origin, xTip, 0.6 * u);
    ArrowHead(p, origin, yTip, 0.6 * u);
    p.setFont(font);
    p.drawText(QPointF(xTip.x() + 0.3 * u, xTip.y() + fm.ascent() / 2.5), Q(scene.xCaption));
    p.drawText(QPointF(yTip.x() + 0.4 * u, scene.yDown ? yTip.y() + fm.ascent() / 2 : yTip.y() + fm.ascent() / 2),
               Q(scene.yCaption));
}

void DrawDrawing(QPainter& p, const PlotScene& scene, const PlotViewport& v, const QRectF& area, const QFont& font) {
    const double u = Unit(font);
    const double r = 0.3 * u;
    p.save();
    p.setClipRect(area);
    p.translate(area.topLeft());
    const auto at = [&](double x, double y) { return QPointF(v.ToScreenX(x), v.ToScreenY(y)); };
    p.setRenderHint(QPainter::Antialiasing, true);

    const auto drawLines = [&](bool curves) {
        p.setBrush(Qt::NoBrush);
        for (const PlotPolyline& line : scene.lines) {
            const bool curve = line.stroke == PlotStroke::Before || line.stroke == PlotStroke::After;
            if (curve != curves || line.x.size() < 2 || line.x.size() != line.y.size()) continue;
            QPolygonF polyline;
            for (std::size_t i = 0; i < line.x.size(); ++i) polyline << at(line.x[i], line.y[i]);
            p.setPen(StrokePen(line.stroke, true));
            p.drawPolyline(polyline);
        }
    };
    drawLines(false);

    if (scene.hasFrame) {
        p.setPen(QPen(kGrey, 1.0));
        p.setBrush(Qt::NoBrush);
        const QPointF a = at(scene.frame.xmin, scene.frame.ymin);
        const QPointF b = at(scene.frame.xmax, scene.frame.ymax);
        p.drawRect(QRectF(a, b).normalized());
        DrawLegendSymbol(p, PlotSymbol::PrincipalPoint, at(scene.principalX, scene.principalY), r * 1.4);
    }
    p.setPen(QPen(kSkyBlue.darker(130), 1.0));
    p.setBrush(QColor(kSkyBlue.red(), kSkyBlue.green(), kSkyBlue.blue(), 90));
    for (const PlotEllipse& e : scene.ellipses) p.drawEllipse(at(e.x, e.y), e.rx * v.scale, e.ry * v.scale);

    for (const PlotStation& st : scene.stations) {
        const QPointF c = at(st.x, st.y);
        const QPointF tip = at(st.x + st.dx, st.y + st.dy);
        p.setPen(QPen(kOrange, 2.0));
        p.drawLine(c, tip);
        ArrowHead(p, c, tip, 1.0 * u);
        DrawStationSymbol(p, c, 1.3 * r);
    }
    for (const PlotPoint& pt : scene.points) DrawPoint(p, pt, at(pt.x, pt.y), r);

    for (const PlotVector& vec : scene.vectors) {
        QPen pen = StrokePen(vec.stroke, false);
        if (vec.fromIntersection) pen.setStyle(Qt::DashLine);
        DrawArrow(p, pen, at(vec.x, vec.y), at(vec.x + vec.dx, vec.y + vec.dy), 0.55 * u);
    }
    drawLines(true);

    const QFont small = Smaller(font);
    const QFontMetricsF sm(small);
    if (scene.pointNumbers) {
        p.setFont(small);
        p.setPen(kBlack);
        for (const PlotPoint& pt : scene.points) {
            const QPointF c = at(pt.x, pt.y);
            p.drawText(QPointF(c.x() + 1.6 * r, c.y() - 1.6 * r), Q(pt.label));
        }
    }
    for (const PlotLabel& label : scene.labels) {
        const QFont face = label.bold ? Bold(font) : small;
        const QFontMetricsF lm(face);
        p.setFont(face);
        p.setPen(kBlack);
        const QString text = Q(label.text);
        const double width = lm.horizontalAdvance(text);
        const QPointF c = at(label.x, label.y);
        const double left = label.horizontal < 0 ? c.x() - width : label.horizontal == 0 ? c.x() - width / 2 : c.x();
        const double baseline = label.vertical < 0   ? c.y() - lm.descent()
                                : label.vertical == 0 ? c.y() + (lm.ascent() - lm.descent()) / 2
                                                      : c.y() + lm.ascent();
        p.drawText(QPointF(left, baseline), text);
    }
    p.setFont(Bold(font));
    for (const PlotStation& st : scene.stations) {
        const QPointF c = at(st.x, st.y);
        p.setPen(kBlack);
        p.drawText(QPointF(c.x() + 2.2 * r, c.y() + 2.2 * r + sm.ascent()), Q(st.label));
    }
    p.restore();

    p.save();
    p.translate(area.topLeft());
    DrawAxes(p, scene, QRectF(QPointF(0, 0), area.size()), font, u);
    if (!scene.note.empty()) {
        p.setFont(font);
        p.setPen(kBlack);
        p.drawText(QRectF(QPointF(0, 0), area.size()), Qt::AlignCenter | Qt::TextWordWrap, Q(scene.note));
    }
    p.restore();
}

}  // namespace

QRectF PlotDrawingArea(const PlotScene& scene, const QRectF& page, const QFont& font) {
    return PageLayout(scene, page, font).drawing;
}

void PaintPlotPage(QPainter& p, const PlotScene& scene, const PlotViewport& viewport, const QRectF& page,
                   const QFont& font) {
    const QFont f = PixelFont(font);
    const double u = Unit(f);
    const Layout l = PageLayout(scene, page, f);
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    p.fillRect(page, Qt::white);

    // The title line and the summary under it.
    const QFontMetricsF bold(Bold(f));
    const QFontMetricsF fm(f);
    p.setPen(kBlack);
    p.setFont(Bold(f));
    p.drawText(QPointF(l.title.left(), l.title.top() + bold.ascent()),
               bold.elidedText(Q(scene.title), Qt::ElideRight, l.title.width()));
    p.setFont(f);
    p.drawText(QPointF(l.title.left(), l.title.top() + bold.height() + 0.3 * u + fm.ascent()),
               fm.elidedText(Q(scene.subtitle), Qt::ElideRight, l.title.width()));

    p.setPen(QPen(QColor(200, 200, 200), 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawRect(l.drawing);
    DrawDrawing(p, scene, viewport, l.drawing, f);

    // Legend.
    if (l.legend.width() > 0.0) {
        double y = l.legend.top() + 0.6 * u;
        for (const PlotLegendEntry& e : scene.legend) {
            DrawLegendSymbol(p, e.symbol, QPointF(l.legend.left() + 1.1 * u, y + fm.height() / 2), 0.3 * u);
            p.setFont(f);
            p.setPen(kBlack);
            p.drawText(QPointF(l.legend.left() + kLegendText * u, y + fm.ascent()),
                       fm.elidedText(Q(e.text), Qt::ElideRight, l.legend.width() - kLegendText * u));
            y += fm.height() * 1.35;
        }
    }

    // Scale bars for the scale the drawing is shown at.
    const PlotScaleBar length = LengthBarAt(scene, viewport.scale, l.drawing.width());
    const PlotScaleBar magnified = MagnifiedBarAt(scene, viewport.scale, l.drawing.width());
    double x = l.bars.left();
    const double used = DrawBar(p, length, viewport.scale, QPointF(x, l.bars.top()), f, u);
    if (used > 0.0) x += used + 2.5 * u;
    DrawBar(p, magnified, viewport.scale, QPointF(x, l.bars.top()), f, u);
    p.restore();
}

bool PlotFileFormatOf(const QString& file, PlotFileFormat& format) {
    const QString suffix = QFileInfo(file).suffix().toLower();
    if (suffix == QLatin1String("png")) {
        format = PlotFileFormat::Png;
    } else if (suffix == QLatin1String("svg")) {
        format = PlotFileFormat::Svg;
    } else if (suffix == QLatin1String("pdf")) {
        format = PlotFileFormat::Pdf;
    } else {
        return false;
    }
    return true;
}

bool ExportPlotPage(const PlotScene& scene, const PlotViewport* viewport, QSize size, double pixelRatio,
                    const QFont& font, const QString& file, QString* error) {
    const auto fail = [&](const QString& text) {
        if (error != nullptr) *error = text;
        return false;
    };
    PlotFileFormat format = PlotFileFormat::Png;
    if (!PlotFileFormatOf(file, format)) return fail(QStringLiteral("Neznámý formát obrázku: ") + file);
    if (size.width() < 16 || size.height() < 16) size = QSize(1200, 850);
    const QRectF page(0.0, 0.0, size.width(), size.height());
    const QFont f = PixelFont(font);
    const QRectF area = PlotDrawingArea(scene, page, f);
    const PlotViewport v = viewport != nullptr ? ResizeViewport(*viewport, area.width(), area.height())
                                               : FitViewport(scene.extent, scene.yDown, area.width(), area.height());
    const QString cannot = QStringLiteral("Obrázek nelze uložit: ") + file;

    // The picture is drawn into memory and saved in one atomic write, so
    // that a failed save leaves the earlier file of that name as it was.
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (format == PlotFileFormat::Png) {
        const double ratio = pixelRatio > 0.0 ? pixelRatio : 1.0;
        QImage image(QSize(static_cast<int>(std::lround(size.width() * ratio)),
                           static_cast<int>(std::lround(size.height() * ratio))),
                     QImage::Format_ARGB32_Premultiplied);
        if (image.isNull()) return fail(cannot);
        // 96 dots per inch at the logical size.
        image.setDotsPerMeterX(static_cast<int>(std::lround(3779.5275590551 * ratio)));
        image.setDotsPerMeterY(static_cast<int>(std::lround(3779.5275590551 * ratio)));
        image.fill(Qt::white);
        QPainter p(&image);
        p.scale(ratio, ratio);
        PaintPlotPage(p, scene, v, page, f);
        p.end();
        if (!image.save(&buffer, "PNG")) return fail(cannot);
    } else if (format == PlotFileFormat::Svg) {
        QSvgGenerator generator;
        generator.setOutputDevice(&buffer);
        generator.setSize(size);
        generator.setViewBox(QRect(QPoint(0, 0), size));
        generator.setResolution(96);
        generator.setTitle(Q(scene.title));
        generator.setDescription(Q(scene.subtitle));
        QPainter p;
        if (!p.begin(&generator)) return fail(cannot);
        PaintPlotPage(p, scene, v, page, f);
        if (!p.end()) return fail(cannot);
    } else {
        QPdfWriter writer(&buffer);
        writer.setResolution(300);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageOrientation(size.width() >= size.height() ? QPageLayout::Landscape : QPageLayout::Portrait);
        writer.setPageMargins(QMarginsF(10.0, 10.0, 10.0, 10.0), QPageLayout::Millimeter);
        writer.setTitle(Q(scene.title));
        writer.setCreator(QStringLiteral("Pelvanor"));
        QPainter p;
        if (!p.begin(&writer)) return fail(cannot);
        // The page of `size` logical pixels fitted into the printable area.
        const double scale = std::min(writer.width() / page.width(), writer.height() / page.height());
        p.translate((writer.width() - page.width() * scale) / 2.0, (writer.height() - page.height() * scale) / 2.0);
        p.scale(scale, scale);
        PaintPlotPage(p, scene, v, page, f);
        if (!p.end()) return fail(cannot);
    }
    buffer.close();
    if (bytes.isEmpty()) return fail(cannot);
    try {
        WriteTextFile(file.toStdString(), std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                      false);
    } catch (const FileError&) {
        return fail(cannot);
    }
    return true;
}

QFont DefaultPlotFont(int pointSize) {
    QFont font = QGuiApplication::font();
    font.setPointSize(pointSize);
    return PixelFont(font);
}

bool RenderPlotToFile(const ProjectState& state, const PlotRequest& request, char decimal,
                      const std::string& projectName, const std::string& file, int width, int height,
                      std::string* error) {
    const PlotScene scene = BuildPlotScene(state, request, decimal, projectName);
    QString message;
    const bool ok = ExportPlotPage(scene, nullptr, QSize(width, height), 1.0, DefaultPlotFont(),
                                   QString::fromUtf8(file.c_str()), &message);
    if (!ok && error != nullptr) *error = message.toStdString();
    return ok;
}

}  // namespace pelvanor
