#include "project/plot_viewport.h"

#include <algorithm>
#include <cmath>

namespace pelvanor {

PlotViewport FitViewport(const PlotRect& extent, bool yDown, double width, double height) {
    PlotViewport v;
    v.width = width > 1.0 ? width : 1.0;
    v.height = height > 1.0 ? height : 1.0;
    v.yDown = yDown;
    v.cx = (extent.xmin + extent.xmax) / 2.0;
    v.cy = (extent.ymin + extent.ymax) / 2.0;
    const double w = extent.Width() > 0.0 ? extent.Width() : 1.0;
    const double h = extent.Height() > 0.0 ? extent.Height() : 1.0;
    v.scale = std::min(v.width / w, v.height / h);
    return v;
}

PlotViewport ZoomViewport(const PlotViewport& viewport, double sx, double sy, double factor) {
    if (!(factor > 0.0)) return viewport;
    PlotViewport v = viewport;
    const double x = viewport.ToDataX(sx);
    const double y = viewport.ToDataY(sy);
    v.scale = viewport.scale * factor;
    // Move the centre so that (x, y) stays under (sx, sy).
    v.cx = x - (sx - v.width / 2.0) / v.scale;
    v.cy = v.yDown ? y - (sy - v.height / 2.0) / v.scale : y + (sy - v.height / 2.0) / v.scale;
    return v;
}

PlotViewport ResizeViewport(const PlotViewport& viewport, double width, double height) {
    PlotViewport v = viewport;
    v.width = width > 1.0 ? width : 1.0;
    v.height = height > 1.0 ? height : 1.0;
    v.scale = viewport.scale * std::min(v.width / viewport.width, v.height / viewport.height);
    return v;
}

std::string TooltipAt(const PlotScene& scene, const PlotViewport& viewport, double sx, double sy,
                      double radius) {
    const std::string* best = nullptr;
    double bestDistance = radius;
    const auto consider = [&](double x, double y, const std::string& tooltip) {
        const double d = std::hypot(viewport.ToScreenX(x) - sx, viewport.ToScreenY(y) - sy);
        if (d <= bestDistance) {
            bestDistance = d;
            best = &tooltip;
        }
    };
    for (const PlotPoint& p : scene.points) consider(p.x, p.y, p.tooltip);
    for (const PlotStation& st : scene.stations) consider(st.x, st.y, st.tooltip);
    return best != nullptr ? *best : std::string();
}

}  // namespace pelvanor
