#pragma once
// "Výsledky" > "Exportovat body": the computed points in the forms CAD and
// GIS software read, besides the protocols of fixed layout.
//
//   CSV: UTF-8, RFC 4180 (comma separated, CR LF), a header row, "." as
//        the decimal separator whatever the locale: point number, X, Y, Z,
//        their standard deviations, the F-test verdict and the number of
//        images; one row per computed point.
//   DXF: an ASCII drawing (AutoCAD R12, which every CAD program reads): a
//        POINT and a TEXT with the number for every point, the control
//        points as surveyed on layer "vlicovaci", the computed points on
//        "spojovaci", or on "nevyhovel_F_test" when they failed the F-test.
//   PLY: an ASCII point cloud (the x y z of every computed point, its
//        spatial standard deviation "sigma" and "f_test" 1 passed, 0 failed
//        as scalar properties), for point cloud software.
// Every number of the three is written with six decimals and ".".

#include <string>

#include "project/command_host.h"
#include "project/project_state.h"

namespace pelvanor {

enum class PointExportFormat { Csv, Dxf, Ply };

// The layers of the DXF drawing.
inline constexpr const char* kControlLayer = "vlicovaci";
inline constexpr const char* kTieLayer = "spojovaci";
inline constexpr const char* kFailedLayer = "nevyhovel_F_test";

// The file name the batch command gives each format: body.csv, body.dxf,
// body.ply; the extension alone by ExportExtension: "csv", "dxf", "ply".
const char* ExportFileName(PointExportFormat format);
const char* ExportExtension(PointExportFormat format);

// The file's whole content; empty when no point has been computed.
std::string PointExportText(const ProjectState& state, PointExportFormat format);

// Writes the export to `path` through the one atomic writer and logs
// "Exportovány body: " and the file name.  False, with nothing written,
// when no point has been computed; a file that cannot be written raises
// FileError as every result command does.
bool ExportPoints(const ProjectState& state, PointExportFormat format, CommandHost& host, const std::string& path);

}  // namespace pelvanor
