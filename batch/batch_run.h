#pragma once
// One run of pelvanor-batch on one project: load, compute, save, summarise.

#include <string>

#include "batch/batch_options.h"

namespace pelvanor::batch {

// The fixed names of the result files in the output folder, one per result
// command of the window that can save after the computation.
inline constexpr const char* kCompleteProtocolFile = "kompletni_protokol.txt";       // "Protokoly" > "Kompletní"
inline constexpr const char* kCoordinatesFTestFile = "souradnice_xyz_ftest.txt";     // "Souřadnice XYZ"
inline constexpr const char* kCoordinatesFile = "souradnice_xyz.txt";                // "Protokoly" > "Souřadnice"
inline constexpr const char* kCorrectedImagePointsFile = "opravene_snimkove_souradnice.txt";
inline constexpr const char* kCorrectedControlPointsFile = "opravene_vlicovaci_body.txt";
inline constexpr const char* kOrientationPanelFile = "priblizna_orientace.txt";      // panel, "Ulož protokol"
inline constexpr const char* kBundlePanelFile = "svazkove_vyrovnani.txt";            // panel, "Ulož protokol"
inline constexpr const char* kCheckPointsFile = "kontrolni_body.txt";                // "Protokoly" > "Kontrolní body"
inline constexpr const char* kCalibrationFile = "kalibrace_kamery.txt";              // "Protokoly" > "Kalibrace kamery"
// The calibrated camera in the camera file format (eight lines f x0 y0 k1
// k2 k3 p1 p2, "." decimals, CR LF), what "Převzít kalibrovanou kameru"
// followed by "Uložit kameru" would write.
inline constexpr const char* kCalibratedCameraFile = "kamera_kalibrovana.txt";

// The pictures of "Grafy" (--plots DIR), each as .png, .svg and .pdf: the
// residuals of image N ("Rezidua snímku") and the plan of the block
// ("Půdorys bloku") in its three projections, and after a calibration the
// lens distortion ("Zkreslení objektivu").
inline constexpr const char* kResidualPlotStem = "rezidua_snimek_";  // + N
inline constexpr const char* kPlanPlotStems[] = {"pudorys_xy", "pudorys_xz", "pudorys_yz"};
inline constexpr const char* kDistortionPlotStem = "zkresleni_objektivu";
inline constexpr const char* kPlotExtensions[] = {".png", ".svg", ".pdf"};

// Runs the options' command on their project; the log goes to the standard
// error, with a progress line below it when `terminal`.  Returns the exit
// status (kExitDone, kExitFailed, kExitBadUsage).
int RunBatch(const BatchOptions& options, bool terminal);

// The summary of a run whose options or settings file were refused
// (status bad_input, `message` as its error), when options.jsonFile names
// one; nothing else is written.  Returns kExitBadUsage.
int RefuseRun(const BatchOptions& options, const std::string& message);

}  // namespace pelvanor::batch
