#include "batch/batch_run.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include <chrono>
#include <cstdio>
#include <exception>
#include <iterator>
#include <vector>

#include "batch/batch_host.h"
#include "batch/json_summary.h"
#include "matrix/file_error.h"
#include "matrix/text_file.h"
#include "project/bundle_pipeline.h"
#include "project/camera_calibration_command.h"
#include "project/distortion_commands.h"
#include "project/loaders.h"
#include "project/object_points_pipeline.h"
#include "project/orientation_pipeline.h"
#include "project/plot_scene.h"
#include "project/result_commands.h"
#include "plot/plot_render.h"
#include "uilocale/locale_services.h"

namespace pelvanor::batch {

namespace {

void PrintError(const std::string& text) {
    std::fprintf(stderr, "pelvanor-batch: %s\n", text.c_str());
    std::fflush(stderr);
}

std::string Absolute(const QString& path) { return QDir::cleanPath(QFileInfo(path).absoluteFilePath()).toStdString(); }

// Full names in the order the window's dialogs number the images.
std::vector<std::string> InImageOrder(const std::vector<std::string>& files) {
    QStringList names;
    for (const std::string& file : files) names << QString::fromStdString(Absolute(QString::fromStdString(file)));
    SortFileNames(names);
    return ToUtf8Names(names);
}

// The project folder's files matching `pattern`, in image order.
std::vector<std::string> ProjectFiles(const std::string& dir, const char* pattern) {
    return ToUtf8Names(ProjectFolderFiles(QString::fromStdString(dir), QString::fromLatin1(pattern)));
}

// The input files: named by the options, else found in the project folder.
bool ResolveInputs(const BatchOptions& options, RunInputs& inputs, std::string& error) {
    const bool czech = CzechTexts();
    if (!options.camera.empty()) {
        inputs.camera = Absolute(QString::fromStdString(options.camera));
    } else {
        inputs.camera = Absolute(QDir(QString::fromStdString(options.projectDir)).filePath(QStringLiteral("camera.txt")));
    }
    inputs.control = options.control.empty() ? ProjectFiles(options.projectDir, "ctrl_*.txt")
                                             : InImageOrder(options.control);
    inputs.images = options.images.empty() && !options.projectDir.empty()
                        ? ProjectFiles(options.projectDir, "img_*.txt")
                        : InImageOrder(options.images);
    if (inputs.control.empty()) {
        error = (czech ? "ve složce projektu nejsou soubory ctrl_*.txt: " : "no ctrl_*.txt in the project folder: ") +
                options.projectDir;
        return false;
    }
    if (inputs.images.empty() && options.command != Command::Orientation) {
        error = (czech ? "ve složce projektu nejsou soubory img_*.txt: " : "no img_*.txt in the project folder: ") +
                options.projectDir;
        return false;
    }
    return true;
}

// The loads of the three "Soubor" commands; false when one of them failed
// (its error line is in the log).
bool LoadInputs(const RunInputs& inputs, ProjectState& state, BatchHost& host) {
    if (!LoadCameraCommand(inputs.camera, state, host)) return false;
    if (LoadControlPointsCommand(inputs.control, inputs.control, state, host).status !=
        ControlLoadResult::Status::Loaded)
        return false;
    if (!inputs.images.empty() && !LoadImagePointsCommand(inputs.images, inputs.images, state, host)) return false;
    return true;
}

UiItem CommandItem(Command command) {
    switch (command) {
        case Command::Orientation: return UiItem::Piblinvnjorientace1;
        case Command::Bundle: return UiItem::Svazkovvyrovnn1;
        case Command::Xyz: return UiItem::SouadniceXYZ1;
        case Command::Calibration: return UiItem::Kalibracekamery1;
    }
    return UiItem::SouadniceXYZ1;
}

bool RunCommand(Command command, ProjectState& state, BatchHost& host) {
    switch (command) {
        case Command::Orientation: return ApproximateOrientationCommand(state, host);
        case Command::Bundle: return BundleCommand(state, host);
        case Command::Xyz: return ObjectPointsCommand(state, host);
        case Command::Calibration: return CalibrationCommand(state, host);
    }
    return false;
}

// Every result the window can save after the command, each under its fixed
// name: a file is written exactly when the window has its item (and the
// item's submenu) enabled.  A file that cannot be written throws FileError.
void SaveResults(const std::string& outDir, const ProjectState& state, BatchHost& host,
                 std::vector<std::string>& written) {
    const auto path = [&outDir](const char* name) { return outDir + "/" + name; };
    const auto enabled = [&host](UiItem item, UiItem submenu) {
        return host.IsItemEnabled(item) && host.IsItemEnabled(submenu);
    };
    const auto done = [&written](const std::string& file) { written.push_back(file); };

    if (enabled(UiItem::Snmkovsouadnice2, UiItem::Opravensnmkovsouadnice1)) {
        SaveCorrectedImagePoints(state, host, path(kCorrectedImagePointsFile));
        done(path(kCorrectedImagePointsFile));
    }
    if (enabled(UiItem::Orientace2, UiItem::Opravensnmkovsouadnice1)) {
        SaveCorrectedControlPoints(state, host, path(kCorrectedControlPointsFile));
        done(path(kCorrectedControlPointsFile));
    }
    // The two panels as "Ulož protokol" saves them right after they are shown.
    if (host.IsItemEnabled(UiItem::Piblineenvnjorientace1)) {
        SaveProtocolPanel(ShowOrientationResults(state, host), host, path(kOrientationPanelFile));
        done(path(kOrientationPanelFile));
    }
    if (host.IsItemEnabled(UiItem::Svazkovvyrovnn2)) {
        SaveProtocolPanel(ShowBundleResults(state, host), host, path(kBundlePanelFile));
        done(path(kBundlePanelFile));
    }
    if (host.IsItemEnabled(UiItem::SouadniceXYZ2)) {
        SaveCoordinatesWithFTest(state, host, path(kCoordinatesFTestFile));
        done(path(kCoordinatesFTestFile));
    }
    if (enabled(UiItem::Pouzesouadnice1, UiItem::Protokoly1)) {
        SavePassedCoordinates(state, host, path(kCoordinatesFile));
        done(path(kCoordinatesFile));
    }
    if (enabled(UiItem::Kompletn1, UiItem::Protokoly1)) {
        SaveCompleteProtocol(state, host, path(kCompleteProtocolFile));
        done(path(kCompleteProtocolFile));
    }
    if (host.IsItemEnabled(UiItem::Kontrolnbody1)) {
        SaveCheckPoints(state, host, path(kCheckPointsFile));
        done(path(kCheckPointsFile));
    }
    if (enabled(UiItem::Kalibracekamery3, UiItem::Protokoly1)) {
        SaveCalibrationProtocol(state, host, path(kCalibrationFile));
        done(path(kCalibrationFile));
    }
    if (host.IsItemEnabled(UiItem::Pevztkalibrovanoukameru1)) {
        if (!SaveCalibratedCamera(state, host, path(kCalibratedCameraFile)))
            throw FileError(WriteFailureText(path(kCalibratedCameraFile), 0));
        done(path(kCalibratedCameraFile));
    }
}

// The pictures of "Grafy" as its "Export" writes them, each logged with the
// window's line; false (the message in the log) when one cannot be
// written.  The project's name in the title line is the folder of the image
// coordinate files, as in the window.
bool SavePlots(const std::string& plotDir, const RunInputs& inputs, const ProjectState& state, BatchHost& host,
               std::vector<std::string>& written) {
    const std::string projectName =
        inputs.images.empty() ? std::string() : ProjectNameOf(QString::fromStdString(inputs.images.front())).toStdString();
    const auto render = [&](const PlotRequest& request, const std::string& stem) {
        for (const char* extension : kPlotExtensions) {
            const std::string file = plotDir + "/" + stem + extension;
            std::string error;
            if (!RenderPlotToFile(state, request, host.DecimalSeparator(), projectName, file, 1200, 850, &error)) {
                host.WriteLog(error);
                return false;
            }
            host.WriteLog("Uložen obrázek: " + file);
            written.push_back(file);
        }
        return true;
    };
    for (int image = 1; image <= PlotImageCount(state); ++image) {
        PlotRequest request;
        request.view = PlotView::ImageResiduals;
        request.image = image;
        if (!render(request, kResidualPlotStem + std::to_string(image))) return false;
    }
    const PlanAxes axes[] = {PlanAxes::XY, PlanAxes::XZ, PlanAxes::YZ};
    for (std::size_t k = 0; k < std::size(axes); ++k) {
        PlotRequest request;
        request.view = PlotView::BlockPlan;
        request.axes = axes[k];
        if (!render(request, kPlanPlotStems[k])) return false;
    }
    if (state.Calibration) {
        PlotRequest request;
        request.view = PlotView::LensDistortion;
        if (!render(request, kDistortionPlotStem)) return false;
    }
    return true;
}

}  // namespace

int RunBatch(const BatchOptions& options, bool terminal) {
    const auto start = std::chrono::steady_clock::now();
    ProjectState state;
    state.Settings = options.settings;
    BatchHost host(state, options.decimal, options.method, terminal);
    RunInputs inputs;
    std::vector<std::string> written;
    const std::string outDir = Absolute(QString::fromStdString(options.outDir));

    const auto finish = [&](int status) {
        host.EndProgress();
        if (options.jsonFile.empty()) return status;
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::string error;
        if (!WriteJsonSummary(options.jsonFile, options, inputs, outDir, status, SummarizeRun(state),
                              host.Adjustments(), written, seconds, error)) {
            PrintError(error);
            if (status == kExitDone) return kExitFailed;
        }
        return status;
    };

    std::string error;
    if (!ResolveInputs(options, inputs, error)) {
        PrintError(error);
        return finish(kExitBadUsage);
    }
    const std::string plotDir = options.plotDir.empty() ? std::string() : Absolute(QString::fromStdString(options.plotDir));
    for (const std::string& dir : {outDir, plotDir}) {
        if (dir.empty() || QDir().mkpath(QString::fromStdString(dir))) continue;
        PrintError((CzechTexts() ? "výstupní složku nelze vytvořit: " : "cannot create the output folder: ") + dir);
        return finish(kExitBadUsage);
    }

    host.WriteLog("Program Pelvanor spuštěn.");
    if (!LoadInputs(inputs, state, host) || !host.IsItemEnabled(CommandItem(options.command)))
        return finish(kExitBadUsage);
    const bool ok = RunCommand(options.command, state, host);
    host.EndProgress();
    if (!ok) return finish(kExitFailed);
    try {
        SaveResults(outDir, state, host, written);
    } catch (const std::exception& e) {
        // The window shows the text in a message box and stops the command.
        host.WriteLog(e.what());
        return finish(kExitFailed);
    }
    if (!plotDir.empty() && host.IsItemEnabled(UiItem::Grafy1) && !SavePlots(plotDir, inputs, state, host, written))
        return finish(kExitFailed);
    return finish(kExitDone);
}

}  // namespace pelvanor::batch
