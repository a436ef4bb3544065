#pragma once
// Drawing the scenes of project/plot_scene.h with Qt Gui (QPainter), on the
// screen and into PNG, SVG and PDF files.  Nothing here decides what is
// drawn; it lays the page out (title lines on top, legend on the right,
// scale bars at the bottom, the drawing in the rest) and maps the scene's
// drawing coordinates through a PlotViewport.
//
// All sizes are logical pixels; the font's pixel size sets the scale of
// symbols and text.  The functions need a QGuiApplication (the offscreen
// platform is enough) for the fonts.

#include <QFont>
#include <QRectF>
#include <QSize>
#include <QString>

#include <string>

#include "project/plot_viewport.h"

class QPainter;

namespace pelvanor {

// The part of `page` (logical pixels) that holds the drawing itself.
QRectF PlotDrawingArea(const PlotScene& scene, const QRectF& page, const QFont& font);

// Paints the whole page: white background, title lines, legend, the drawing
// through `viewport` (whose width and height are those of the drawing area)
// clipped to its area, scale bars for the viewport's scale.
void PaintPlotPage(QPainter& painter, const PlotScene& scene, const PlotViewport& viewport, const QRectF& page,
                   const QFont& font);

enum class PlotFileFormat { Png, Svg, Pdf };

// The format of a file name by its extension (.png, .svg, .pdf, any case);
// false for another one.
bool PlotFileFormatOf(const QString& file, PlotFileFormat& format);

// Writes a page of `size` logical pixels showing what `viewport` shows
// (taken from a drawing area of another size, see ResizeViewport; null: the
// whole scene) into `file`, in the format of its extension: a PNG of size x
// pixelRatio pixels, an SVG of `size`, or a one-page PDF (A4, the page's
// orientation following `size`, the picture fitted into its margins).
// False with a Czech message in `error` when the file cannot be written.
bool ExportPlotPage(const PlotScene& scene, const PlotViewport* viewport, QSize size, double pixelRatio,
                    const QFont& font, const QString& file, QString* error = nullptr);

// The font of the pictures when no window gives one: the application's
// font at `pointSize`, as pixels at 96 dots per inch.
QFont DefaultPlotFont(int pointSize = 9);

// One view of the project state into a file (.png, .svg or .pdf): the scene
// of `request` for the whole extent, on a width x height page, numbers with
// `decimal`, `projectName` in the title line.  For front ends without a
// window (a batch run writing the pictures beside its protocols).
bool RenderPlotToFile(const ProjectState& state, const PlotRequest& request, char decimal,
                      const std::string& projectName, const std::string& file, int width = 1200, int height = 850,
                      std::string* error = nullptr);

}  // namespace pelvanor
