#include "batch/batch_run.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <exception>
#include <iterator>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "batch/batch_host.h"
#include "batch/json_summary.h"
#include "batch/stop_signals.h"
#include "matrix/file_error.h"
#include "matrix/text_file.h"
#include "project/bundle_pipeline.h"
#include "project/camera_calibration_command.h"
#include "project/distortion_commands.h"
#include "project/loaders.h"
#include "project/object_points_pipeline.h"
#include "project/orientation_pipeline.h"
#include "project/plot_scene.h"
#include "project/point_export.h"
#include "project/result_commands.h"
#include "project/weighted_control.h"
#include "plot/plot_render.h"
#include "uilocale/locale_services.h"
#include "uilocale/project_folder.h"

namespace pelvanor::batch {

namespace {

void PrintError(const std::string& text) {
    std::fprintf(stderr, "pelvanor-batch: %s\n", text.c_str());
    std::fflush(stderr);
}

// The lock of an output folder for the duration of one run, so that two
// runs into one --out never leave a set of result files made of both: an
// exclusive flock on a lock file in the folder, taken without waiting.  The
// lock file is removed when the run ends; a file left by a killed run holds
// no lock and is taken over.  flock (rather than a lock on the folder
// itself) also works on NFS, where Linux maps it to a byte-range lock of
// the file.
class OutFolderLock {
public:
    enum class Result { Held, Busy, Failed };

    ~OutFolderLock() {
        if (fd_ < 0) return;
        // Removed while still held: a run that opened the file meanwhile
        // finds its lock on a removed file and tries again.
        ::unlink(path_.c_str());
        ::close(fd_);
    }

    Result Take(const std::string& folder) {
        path_ = folder + "/.pelvanor-batch.lock";
        for (int attempt = 0; attempt < 8; ++attempt) {
            const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
            if (fd < 0) return Result::Failed;
            if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
                const int err = errno;
                ::close(fd);
                return err == EWOULDBLOCK ? Result::Busy : Result::Failed;
            }
            // The file may have been removed by the run that held it between
            // our open and our lock: then the lock guards nothing.
            struct stat held {}, named {};
            if (::fstat(fd, &held) == 0 && ::stat(path_.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
                held.st_ino == named.st_ino) {
                fd_ = fd;
                return Result::Held;
            }
            ::close(fd);
        }
        return Result::Failed;
    }

private:
    std::string path_;
    int fd_ = -1;
};

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
// A folder that gives both kinds must pair them image by image; its causes
// of refusal go to `refusal`, one line each.
bool ResolveInputs(const BatchOptions& options, RunInputs& inputs, std::string& error,
                   std::vector<std::string>& refusal) {
    const bool czech = CzechTexts();
    if (!options.camera.empty()) {
        inputs.camera = Absolute(QString::fromStdString(options.camera));
    } else {
        inputs.camera = Absolute(QDir(QString::fromStdString(options.projectDir)).filePath(QStringLiteral("camera.txt")));
    }
    if (options.control.empty() && options.images.empty() && !options.projectDir.empty()) {
        const ProjectFolderPairs pairs = PairProjectFolder(QString::fromStdString(options.projectDir));
        if (!pairs.refusal.isEmpty()) {
            refusal = ToUtf8Names(pairs.refusal);
            return false;
        }
        inputs.control = ToUtf8Names(pairs.control);
        inputs.images = ToUtf8Names(pairs.images);
    } else {
        inputs.control = options.control.empty() ? ProjectFiles(options.projectDir, "ctrl_*.txt")
                                                 : InImageOrder(options.control);
        inputs.images = options.images.empty() && !options.projectDir.empty()
                            ? ProjectFiles(options.projectDir, "img_*.txt")
                            : InImageOrder(options.images);
    }
    if (!options.controlAccuracy.empty()) {
        inputs.controlAccuracy = Absolute(QString::fromStdString(options.controlAccuracy));
    } else if (!options.projectDir.empty()) {
        const QString candidate =
            QDir(QString::fromStdString(options.projectDir)).filePath(QString::fromLatin1(kControlAccuracyFileName));
        if (QFileInfo(candidate).isFile()) inputs.controlAccuracy = Absolute(candidate);
    }
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
    if (!inputs.controlAccuracy.empty() && !LoadControlAccuracyCommand(inputs.controlAccuracy, state, host))
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
    // A stop asked for by a signal writes no further file; each one written
    // is whole.
    const auto go = [] { return StopSignal() == 0; };

    if (go() && enabled(UiItem::Snmkovsouadnice2, UiItem::Opravensnmkovsouadnice1)) {
        SaveCorrectedImagePoints(state, host, path(kCorrectedImagePointsFile));
        done(path(kCorrectedImagePointsFile));
    }
    if (go() && enabled(UiItem::Orientace2, UiItem::Opravensnmkovsouadnice1)) {
        SaveCorrectedControlPoints(state, host, path(kCorrectedControlPointsFile));
        done(path(kCorrectedControlPointsFile));
    }
    // The two panels as "Ulož protokol" saves them right after they are shown.
    if (go() && host.IsItemEnabled(UiItem::Piblineenvnjorientace1)) {
        SaveProtocolPanel(ShowOrientationResults(state, host), host, path(kOrientationPanelFile));
        done(path(kOrientationPanelFile));
    }
    if (go() && host.IsItemEnabled(UiItem::Svazkovvyrovnn2)) {
        SaveProtocolPanel(ShowBundleResults(state, host), host, path(kBundlePanelFile));
        done(path(kBundlePanelFile));
    }
    if (go() && host.IsItemEnabled(UiItem::SouadniceXYZ2)) {
        SaveCoordinatesWithFTest(state, host, path(kCoordinatesFTestFile));
        done(path(kCoordinatesFTestFile));
    }
    if (go() && enabled(UiItem::Pouzesouadnice1, UiItem::Protokoly1)) {
        SavePassedCoordinates(state, host, path(kCoordinatesFile));
        done(path(kCoordinatesFile));
    }
    if (go() && enabled(UiItem::Kompletn1, UiItem::Protokoly1)) {
        SaveCompleteProtocol(state, host, path(kCompleteProtocolFile));
        done(path(kCompleteProtocolFile));
    }
    if (go() && host.IsItemEnabled(UiItem::Kontrolnbody1)) {
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

int RefuseRun(const BatchOptions& options, const std::string& message) {
    if (options.jsonFile.empty()) return kExitBadUsage;
    const ProjectState state;
    RunNotes notes;
    notes.error = message;
    std::string error;
    if (!WriteJsonSummary(options.jsonFile, options, RunInputs{}, options.outDir.empty() ? std::string() : Absolute(QString::fromStdString(options.outDir)),
                          kExitBadUsage, SummarizeRun(state), {}, {}, 0.0, notes, error))
        PrintError(error);
    return kExitBadUsage;
}

int RunBatch(const BatchOptions& options, bool terminal) {
    const auto start = std::chrono::steady_clock::now();
    ProjectState state;
    state.Settings = options.settings;
    BatchHost host(state, options.decimal, options.method, terminal);
    RunInputs inputs;
    std::vector<std::string> written;
    const std::string outDir = Absolute(QString::fromStdString(options.outDir));
    std::string problem;  // a message printed outside the log, for the summary

    // Every exit goes through here, so that the summary is written whatever
    // ended the run.
    const auto finish = [&](int status) {
        host.EndProgress();
        if (options.jsonFile.empty()) return status;
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        RunNotes notes;
        notes.warnings = host.Warnings();
        if (status != kExitDone) {
            // A load names its cause before its failure line, a computation
            // after it: all of them, in the log's order.
            std::string lines;
            for (const std::string& line : host.Errors()) lines += (lines.empty() ? "" : "; ") + line;
            notes.error = StopSignal() != 0 ? host.CancelledLine() : !problem.empty() ? problem : lines;
        }
        std::string error;
        if (!WriteJsonSummary(options.jsonFile, options, inputs, outDir, status, SummarizeRun(state),
                              host.Adjustments(), written, seconds, notes, error)) {
            PrintError(error);
            if (status == kExitDone) return kExitFailed;
        }
        return status;
    };
    // A stop asked for by a signal: the log says so once, nothing more is
    // written.
    const auto stopped = [&]() {
        if (!state.CancelLogged) host.WriteLog(host.CancelledLine());
        return finish(StoppedExitStatus(StopSignal()));
    };

    std::string error;
    std::vector<std::string> refusal;
    if (!ResolveInputs(options, inputs, error, refusal)) {
        // The folder's causes are log lines, Czech as in the window.
        for (const std::string& cause : refusal) PrintError("Chyba - " + cause);
        if (!refusal.empty())
            error = (CzechTexts() ? "projekt nenačten, soubory složky se nepárují: "
                                  : "project not loaded, the folder's files do not pair: ") +
                    options.projectDir;
        PrintError(error);
        problem = error;
        return finish(kExitBadUsage);
    }
    if (!QDir().mkpath(QString::fromStdString(outDir))) {
        problem = (CzechTexts() ? "výstupní složku nelze vytvořit: " : "cannot create the output folder: ") + outDir;
        PrintError(problem);
        return finish(kExitBadUsage);
    }
    // A folder that takes no lock file (no right to create files in it)
    // runs without the lock: the saves themselves then say what fails.
    OutFolderLock lock;
    if (lock.Take(outDir) == OutFolderLock::Result::Busy) {
        problem = (CzechTexts() ? "do výstupní složky právě zapisuje jiný běh pelvanor-batch, tento běh "
                                  "nic nespočítal ani nezapsal: "
                                : "another run of pelvanor-batch is writing into the output folder; this "
                                  "run computed and wrote nothing: ") +
                  outDir;
        PrintError(problem);
        return finish(kExitFailed);
    }

    host.WriteLog("Program Pelvanor spuštěn.");
    // The pictures and the exports need what only some commands compute:
    // said at once when the command asked for gives them nothing.
    if (!options.plotDir.empty() && options.command == Command::Orientation)
        host.WriteLog("Upozornění - --plots: příkaz orientation nemá obrázky okna Grafy, žádné se nekreslí");
    if (!options.exports.empty() && options.command != Command::Xyz)
        host.WriteLog(std::string("Upozornění - --export: příkaz ") + CommandName(options.command) +
                      " nepočítá souřadnice XYZ, žádné body se neexportují");
    if (!LoadInputs(inputs, state, host) || !host.IsItemEnabled(CommandItem(options.command))) {
        if (StopSignal() != 0) return stopped();
        return finish(kExitBadUsage);
    }
    if (StopSignal() != 0) return stopped();
    const bool ok = RunCommand(options.command, state, host);
    host.EndProgress();
    // A stopped command has taken its failure path; no result of it is saved.
    if (StopSignal() != 0) return stopped();
    if (!ok) return finish(kExitFailed);
    try {
        SaveResults(outDir, state, host, written);
        if (host.IsItemEnabled(UiItem::Exportovatbody1)) {
            for (const PointExportFormat format : options.exports) {
                const std::string file = outDir + "/" + ExportFileName(format);
                if (ExportPoints(state, format, host, file)) written.push_back(file);
            }
        }
    } catch (const std::exception& e) {
        // The window shows the text in a message box and stops the command.
        host.WriteLog(e.what());
        problem = e.what();
        return finish(kExitFailed);
    }
    if (!options.plotDir.empty() && host.IsItemEnabled(UiItem::Grafy1)) {
        const std::string plotDir = Absolute(QString::fromStdString(options.plotDir));
        if (!QDir().mkpath(QString::fromStdString(plotDir))) {
            problem = (CzechTexts() ? "složku obrázků nelze vytvořit: " : "cannot create the folder of the pictures: ") +
                      plotDir;
            host.WriteLog(problem);
            return finish(kExitFailed);
        }
        if (!SavePlots(plotDir, inputs, state, host, written)) return finish(kExitFailed);
    }
    if (StopSignal() != 0) return stopped();
    return finish(kExitDone);
}

}  // namespace pelvanor::batch
