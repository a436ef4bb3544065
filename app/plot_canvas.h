#pragma once
// The drawing of "Grafy": one scene painted as a page (title lines, legend,
// scale bars, the drawing), zoomed with the wheel about the cursor, panned by
// dragging, fitted again by FitView ("Celý pohled"); a tooltip names the
// point or station under the cursor.

#include <QWidget>

#include "project/plot_viewport.h"

namespace pelvanor {

class PlotCanvas : public QWidget {
    Q_OBJECT
public:
    explicit PlotCanvas(QWidget* parent = nullptr);

    // A new scene; `keepView` keeps the part of the drawing shown (the same
    // view with fresh results), otherwise the whole scene is shown.
    void SetScene(PlotScene scene, bool keepView);
    void FitView();
    // Zooms about the drawing's centre (wheel steps of 1.2).
    void ZoomBy(double factor);

    const PlotScene& Scene() const { return scene_; }
    // The mapping of the drawing area of the page this widget shows.
    const PlotViewport& Viewport() const { return viewport_; }
    // The page the widget paints, in its own coordinates.
    QRectF Page() const { return QRectF(rect()); }
    // The tooltip for a position in widget coordinates (empty: none).
    QString TooltipAt(const QPoint& position) const;
    // Rings the point of this number and the station of this image wherever
    // the scene shows them (0: none), for the rows chosen in "Tabulka
    // výsledků"; HighlightedItems counts the rings drawn.
    void SetHighlight(long long point, int image);
    int HighlightedItems() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;

private:
    QRectF DrawingArea() const;
    // `factor` limited so that the view stays between a fiftieth and a
    // hundred thousand times the whole scene's scale.
    double Allowed(double factor) const;

    PlotScene scene_;
    PlotViewport viewport_;
    long long highlight_point_ = 0;
    int highlight_image_ = 0;
    bool fitted_ = true;  // showing the whole scene: a resize fits again
    bool dragging_ = false;
    QPointF drag_start_;
    PlotViewport drag_viewport_;
};

}  // namespace pelvanor
