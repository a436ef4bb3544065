#include "app/plot_canvas.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

#include "plot/plot_render.h"

namespace pelvanor {

namespace {

// Pixels within which a tooltip finds its point.
constexpr double kPickRadius = 7.0;
// How far the view zooms out and in from the whole scene.
constexpr double kZoomOut = 1.0 / 50.0;
constexpr double kZoomIn = 1e5;

}  // namespace

PlotCanvas::PlotCanvas(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("PaintBox1"));
    setMouseTracking(false);
    setMinimumSize(320, 240);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::OpenHandCursor);
}

QRectF PlotCanvas::DrawingArea() const { return PlotDrawingArea(scene_, Page(), font()); }

void PlotCanvas::SetScene(PlotScene scene, bool keepView) {
    const bool sameKind = scene.view == scene_.view && scene.yDown == scene_.yDown;
    scene_ = std::move(scene);
    const QRectF area = DrawingArea();
    if (keepView && sameKind && !fitted_) {
        viewport_ = ResizeViewport(viewport_, area.width(), area.height());
    } else {
        FitView();
        return;
    }
    update();
}

void PlotCanvas::FitView() {
    const QRectF area = DrawingArea();
    viewport_ = FitViewport(scene_.extent, scene_.yDown, area.width(), area.height());
    fitted_ = true;
    update();
}

double PlotCanvas::Allowed(double factor) const {
    const QRectF area = DrawingArea();
    const double fit = FitViewport(scene_.extent, scene_.yDown, area.width(), area.height()).scale;
    const double wanted = viewport_.scale * factor;
    return std::clamp(wanted, fit * kZoomOut, fit * kZoomIn) / viewport_.scale;
}

void PlotCanvas::ZoomBy(double factor) {
    viewport_ = ZoomViewport(viewport_, viewport_.width / 2.0, viewport_.height / 2.0, Allowed(factor));
    fitted_ = false;
    update();
}

QString PlotCanvas::TooltipAt(const QPoint& position) const {
    const QRectF area = DrawingArea();
    if (!area.contains(position)) return QString();
    const std::string text = pelvanor::TooltipAt(scene_, viewport_, position.x() - area.left(),
                                                 position.y() - area.top(), kPickRadius);
    return QString::fromUtf8(text.c_str());
}

void PlotCanvas::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    PaintPlotPage(painter, scene_, viewport_, Page(), font());
    if (highlight_point_ == 0 && highlight_image_ == 0) return;
    // An orange ring, wide enough to be found at any zoom.
    const QRectF area = DrawingArea();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(255, 120, 0), 3.0));
    painter.setBrush(Qt::NoBrush);
    const auto ring = [&](double x, double y) {
        const QPointF at(area.left() + viewport_.ToScreenX(x), area.top() + viewport_.ToScreenY(y));
        if (area.contains(at)) painter.drawEllipse(at, 11.0, 11.0);
    };
    for (const PlotPoint& p : scene_.points)
        if (highlight_point_ != 0 && p.number == highlight_point_) ring(p.x, p.y);
    for (const PlotStation& s : scene_.stations)
        if (highlight_image_ != 0 && s.image == highlight_image_) ring(s.x, s.y);
}

void PlotCanvas::SetHighlight(long long point, int image) {
    highlight_point_ = point;
    highlight_image_ = image;
    update();
}

int PlotCanvas::HighlightedItems() const {
    int count = 0;
    for (const PlotPoint& p : scene_.points) count += highlight_point_ != 0 && p.number == highlight_point_ ? 1 : 0;
    for (const PlotStation& s : scene_.stations) count += highlight_image_ != 0 && s.image == highlight_image_ ? 1 : 0;
    return count;
}

void PlotCanvas::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const QRectF area = DrawingArea();
    if (fitted_) {
        viewport_ = FitViewport(scene_.extent, scene_.yDown, area.width(), area.height());
    } else {
        viewport_ = ResizeViewport(viewport_, area.width(), area.height());
    }
}

void PlotCanvas::wheelEvent(QWheelEvent* event) {
    const QRectF area = DrawingArea();
    const QPointF at = event->position() - area.topLeft();
    // One notch (120) zooms by 1.2; touchpads send smaller steps.
    const double factor = Allowed(std::pow(1.2, event->angleDelta().y() / 120.0));
    if (factor != 1.0) {
        viewport_ = ZoomViewport(viewport_, at.x(), at.y(), factor);
        fitted_ = false;
        update();
    }
    event->accept();
}

void PlotCanvas::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    dragging_ = true;
    drag_start_ = event->position();
    drag_viewport_ = viewport_;
    setCursor(Qt::ClosedHandCursor);
}

void PlotCanvas::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_) return QWidget::mouseMoveEvent(event);
    const QPointF d = event->position() - drag_start_;
    viewport_ = drag_viewport_;
    viewport_.cx -= d.x() / viewport_.scale;
    viewport_.cy += (viewport_.yDown ? -d.y() : d.y()) / viewport_.scale;
    fitted_ = false;
    update();
}

void PlotCanvas::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        dragging_ = false;
        setCursor(Qt::OpenHandCursor);
    }
    QWidget::mouseReleaseEvent(event);
}

void PlotCanvas::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) FitView();
}

bool PlotCanvas::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QString text = TooltipAt(help->pos());
        if (text.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            QToolTip::showText(help->globalPos(), text, this);
        }
        return true;
    }
    return QWidget::event(event);
}

}  // namespace pelvanor
