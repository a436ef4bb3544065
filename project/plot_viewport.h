#pragma once
// The page mapping of a view: where a drawing point lands in a drawing area
// of some pixels, "Celý pohled", zoom about a point, the same view at
// another size, and the tooltip under the mouse.

#include <string>

#include "project/plot_scene.h"

namespace pelvanor {

// The page mapping of a view: drawing point (cx, cy) at the centre of a
// width x height area, `scale` pixels per drawing unit, y flipped unless
// the scene's y grows downwards.
struct PlotViewport {
    double cx = 0.0;
    double cy = 0.0;
    double scale = 1.0;
    bool yDown = false;
    double width = 1.0;
    double height = 1.0;
    double ToScreenX(double x) const { return width / 2.0 + (x - cx) * scale; }
    double ToScreenY(double y) const { return height / 2.0 + (yDown ? y - cy : cy - y) * scale; }
    double ToDataX(double sx) const { return cx + (sx - width / 2.0) / scale; }
    double ToDataY(double sy) const { return yDown ? cy + (sy - height / 2.0) / scale : cy - (sy - height / 2.0) / scale; }
};

// The whole extent in a width x height area ("Celý pohled").
PlotViewport FitViewport(const PlotRect& extent, bool yDown, double width, double height);
// Zoom by `factor` keeping the drawing point under (sx, sy) in place.
PlotViewport ZoomViewport(const PlotViewport& viewport, double sx, double sy, double factor);
// The same drawing centre and scale relative to the area's size in a
// width x height area (the current view exported at another size).
PlotViewport ResizeViewport(const PlotViewport& viewport, double width, double height);

// The tooltip of the point or station nearest to screen point (sx, sy)
// within `radius` pixels; empty when none is that close.
std::string TooltipAt(const PlotScene& scene, const PlotViewport& viewport, double sx, double sy,
                      double radius);

}  // namespace pelvanor
