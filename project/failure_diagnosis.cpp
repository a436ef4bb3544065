#include "project/failure_diagnosis.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <system_error>
#include <set>
#include <string_view>

#include "adjustment/approximate_points.h"
#include "adjustment/f_test.h"
#include "adjustment/intersection.h"
#include "adjustment/point_selection.h"
#include "matrix/fp_guard.h"
#include "orientation/distortion.h"
#include "orientation/observation_assembly.h"
#include "orientation/plane_resection.h"
#include "orientation/refinement.h"
#include "orientation/space_resection.h"
#include "project/camera_fields.h"
#include "project/log_texts.h"
#include "protocol/report_layout.h"

// The cause of a failed command: the known causes are looked for in the
// state and the files, and the steps of the failed stage are repeated on
// copies to find the first that fails and the fault its guard recorded.

namespace pelvanor {

namespace {

using detail::IndexValue;
using detail::kError;
using detail::NumberText;

// A text of a file for a log line: printable ASCII kept, the rest "?", cut.
std::string Shown(std::string_view text) {
    std::string shown;
    for (char c : text.substr(0, 24)) {
        const unsigned char u = static_cast<unsigned char>(c);
        shown += (u >= 0x20 && u < 0x7F) ? c : '?';
    }
    if (text.size() > 24) shown += "...";
    return shown;
}

struct StepFailure {
    std::string step;
    GuardFailure record;
    bool recorded = false;  // the step's own guard recorded why
};

// Runs one step; on failure keeps the step's name and the guard's record.
template <class Step>
bool RunStep(const char* name, Step&& step, std::optional<StepFailure>& failure) {
    const std::uint64_t before = LastGuardFailure().serial;
    if (step()) return true;
    const GuardFailure& g = LastGuardFailure();
    failure = StepFailure{name, g, g.serial != before};
    return false;
}

// An overflow or a division by zero makes an infinity, and the arithmetic on
// it the invalid operation that often follows: that one is named only when
// it stands alone.
std::string FaultText(int flags) {
    std::vector<std::string> parts;
    if (flags & FE_OVERFLOW) parts.push_back("přetečení");
    if (flags & FE_DIVBYZERO) parts.push_back("dělení nulou");
    if ((flags & FE_INVALID) && parts.empty()) parts.push_back("neplatná operace");
    std::string text;
    for (std::size_t i = 0; i < parts.size(); ++i) text += (i == 0 ? "" : " a ") + parts[i];
    if (!text.empty()) text[0] = static_cast<char>(text[0] - 'a' + 'A');
    return text;
}

std::string StepFailureText(const StepFailure& failure) {
    const std::string step = "„" + failure.step + "“";
    if (failure.recorded) {
        const GuardFailure& g = failure.record;
        if (g.kind == GuardFailure::Kind::Fault && (g.flags & kFpFaults) != 0)
            return std::string(kError) + FaultText(g.flags) + " v kroku " + step;
        // A failed allocation is reported as lack of memory by its own line.
        if (g.kind == GuardFailure::Kind::Exception && g.thrown == GuardFailure::Thrown::Allocation) return "";
        if (g.kind == GuardFailure::Kind::Exception && g.thrown == GuardFailure::Thrown::SvdNoConvergence)
            return std::string(kError) + "Singulární rozklad nekonvergoval v kroku " + step;
    }
    return std::string(kError) + "Výpočet selhal v kroku " + step;
}

// The first point number that stands twice in one image's block; "" when
// none does.
std::string DuplicateLine(const Matice* table, const Matice* ranges, const char* kind) {
    if (!table || !ranges || ranges->s < 2) return "";
    for (int j = 1; j <= ranges->r; ++j) {
        const long long first = std::max(IndexValue(ranges->GetPrvek(j, 1)), 1LL);
        const long long last = std::min<long long>(IndexValue(ranges->GetPrvek(j, 2)), table->r);
        std::set<long double> seen;
        for (long long row = first; row <= last; ++row) {
            const long double number = std::nearbyint(table->GetPrvek(static_cast<int>(row), 1));
            if (!(number > 0.0L)) continue;
            if (!seen.insert(number).second)
                return std::string(kError) + "Číslo bodu " + NumberText(number) + " je na snímku " +
                       std::to_string(j) + " dvakrát (" + kind + ")";
        }
    }
    return "";
}

// Why the four points chosen for an image cannot be taken from its block:
// a chosen number missing from it, chosen twice, or standing twice in it.
std::string SelectionCause(const ProjectState& s) {
    const Matice* selection = s.SelectedOrientationPoints.get();
    const Matice* table = s.ControlPoints.get();
    const Matice* ranges = s.ControlPointRanges.get();
    if (!selection || !table || !ranges || ranges->s < 2) return "";
    for (int j = 1; j <= ranges->r && 4 * j <= selection->r; ++j) {
        const long long first = std::max(IndexValue(ranges->GetPrvek(j, 1)), 1LL);
        const long long last = std::min<long long>(IndexValue(ranges->GetPrvek(j, 2)), table->r);
        std::vector<long double> chosen;
        for (int k = 4 * j - 3; k <= 4 * j; ++k) {
            const long double number = std::nearbyint(selection->GetPrvek(k, 1));
            if (std::find(chosen.begin(), chosen.end(), number) != chosen.end())
                return std::string(kError) + "Bod " + NumberText(number) +
                       " je pro přibližnou orientaci snímku " + std::to_string(j) + " vybrán dvakrát";
            chosen.push_back(number);
            long long found = 0;
            for (long long row = first; row <= last; ++row)
                found += std::nearbyint(table->GetPrvek(static_cast<int>(row), 1)) == number;
            if (found == 0)
                return std::string(kError) + "Bod " + NumberText(number) +
                       " vybraný pro přibližnou orientaci není mezi vlícovacími body snímku " + std::to_string(j);
        }
    }
    return "";
}

// The steps of the approximate orientation repeated on copies, up to the
// first that fails.
std::string OrientationCause(const ProjectState& s, const CommandHost& host) {
    const CameraParameters& c = s.Camera;
    const AdjustmentSettings& set = s.Settings;
    const bool imagePoints = host.IsItemEnabled(UiItem::Snmkovsouadnice1);
    // A failed load may have released the tables the command is still
    // enabled for.
    if (!s.ControlPoints) return std::string(kError) + "Vlícovací body nejsou načteny";
    if (imagePoints && !s.ImagePoints) return std::string(kError) + "Snímkové souřadnice nejsou načteny";
    std::optional<StepFailure> failure;
    MatPtr images, control, controlIds, imageIds, tieCounts, tieIndex, controlCounts, controlIndex, selected,
        minimal, refined, sigma0;
    long double iterations = 0.0L;
    const bool ok =
        (!imagePoints || RunStep("Oprava distorze snímkových souřadnic", [&] {
            return CorrectImagePoints(s.ImagePoints.get(), images, c.x0, c.y0, c.f, c.k1, c.k2, c.k3, c.p1, c.p2);
        }, failure)) &&
        RunStep("Oprava distorze vlícovacích bodů", [&] {
            return CorrectControlPoints(s.ControlPoints.get(), control, c.x0, c.y0, c.f, c.k1, c.k2, c.k3, c.p1, c.p2);
        }, failure) &&
        RunStep("Seznam vlícovacích bodů", [&] {
            return DistinctPoints(control.get(), s.ControlPointRanges.get(), s.ControlPointCounts.get(), controlIds);
        }, failure) &&
        (!imagePoints || RunStep("Seznam měřených bodů", [&] {
            return DistinctPoints(images.get(), s.ImagePointRanges.get(), s.ImagePointCounts.get(), imageIds);
        }, failure)) &&
        (!imagePoints || RunStep("Párování bodů mezi snímky", [&] {
            return TiePointIndex(images.get(), s.ImagePointCounts.get(), imageIds.get(), tieCounts, tieIndex);
        }, failure)) &&
        RunStep("Párování vlícovacích bodů mezi snímky", [&] {
            return ControlPointIndex(control.get(), s.ControlPointCounts.get(), controlIds.get(), controlCounts,
                                     controlIndex);
        }, failure) &&
        RunStep("Výběr vlícovacích bodů pro přibližnou orientaci", [&] {
            return SelectedControlRows(s.SelectedOrientationPoints.get(), control.get(), s.ControlPointCounts.get(),
                                       s.ControlPointRanges.get(), selected);
        }, failure) &&
        (host.OrientationMethod() == 1
             ? RunStep("4 body v prostoru", [&] {
                   return SpaceResection(selected.get(), s.ControlPointCounts.get(), minimal, set.Tolerance, c.f,
                                         c.x0, c.y0);
               }, failure)
             : RunStep("4 body v rovině (Z=0)", [&] {
                   return PlaneResection(selected.get(), s.ControlPointCounts.get(), minimal, c.x0, c.y0, c.f);
               }, failure)) &&
        RunStep("Zpřesnění orientace", [&] {
            return RefineOrientation(control.get(), s.ControlPointCounts.get(), s.ControlPointRanges.get(),
                                     minimal.get(), c.x0, c.y0, c.f, set.Tolerance, set.MaxIterations, refined,
                                     iterations, sigma0);
        }, failure);
    if (ok || !failure) return "";
    // Matching and the choice of the four points break on a number that
    // stands twice on one image.
    const bool selection = failure->step.rfind("Výběr", 0) == 0;
    if (selection || failure->step.rfind("Párování", 0) == 0) {
        std::string line = selection ? SelectionCause(s) : "";
        if (line.empty()) line = DuplicateLine(s.ControlPoints.get(), s.ControlPointRanges.get(), "vlícovací body");
        if (line.empty() && imagePoints && !selection)
            line = DuplicateLine(s.ImagePoints.get(), s.ImagePointRanges.get(), "snímkové souřadnice");
        if (!line.empty()) return line;
    }
    return StepFailureText(*failure);
}

// The steps of the bundle pipeline before the adjustments; the adjustments
// themselves say why they failed.
std::string BundleCause(const ProjectState& s) {
    const CameraParameters& c = s.Camera;
    std::optional<StepFailure> failure;
    MatPtr index, counts, approx;
    const bool ok =
        RunStep("Výběr bodů do svazkového vyrovnání", [&] {
            return SelectBundlePoints(s.TiePointOccurrences.get(), s.TiePointImageCounts.get(),
                                      s.Settings.PointPercent, index, counts);
        }, failure) &&
        RunStep("Přibližné prostorové souřadnice", [&] {
            return ApproximateObjectPoints(index.get(), counts.get(), s.ImagePointsCorrected.get(),
                                           s.OrientationRefined.get(), c.x0, c.y0, c.f, approx);
        }, failure);
    return ok || !failure ? "" : StepFailureText(*failure);
}

// The steps of the object coordinates after a successful bundle adjustment.
std::string ObjectPointsCause(const ProjectState& s) {
    if (TableEntryCount(s.TiePointOccurrences.get()) == 0)
        return std::string(kError) + "Žádný bod není měřen alespoň na dvou snímcích";
    const CameraParameters& c = s.Camera;
    const AdjustmentSettings& set = s.Settings;
    std::optional<StepFailure> failure;
    MatPtr start, points, passed, results;
    const bool withF = set.AdjustCameraConstant;
    const bool ok =
        RunStep("Přibližné prostorové souřadnice", [&] {
            return ApproximatePointsFromBundle(s.TiePointOccurrences.get(), s.TiePointImageCounts.get(),
                                               s.ImagePointsCorrected.get(), s.BundleUnknowns.get(),
                                               s.BundleImageIndex.get(), c.x0, c.y0, c.f, start);
        }, failure) &&
        RunStep("Prostorové protínání", [&] {
            return withF ? IntersectPointsWithF(s.ImagePointsCorrected.get(), s.TiePointOccurrences.get(),
                                                s.TiePointImageCounts.get(), start.get(), s.BundleUnknownsF.get(),
                                                s.BundleImageIndexF.get(), set.Tolerance, c.x0, c.y0,
                                                set.MaxIterations, points)
                         : IntersectPoints(s.ImagePointsCorrected.get(), s.TiePointOccurrences.get(),
                                           s.TiePointImageCounts.get(), start.get(), s.BundleUnknowns.get(),
                                           s.BundleImageIndex.get(), set.Tolerance, c.x0, c.y0, c.f,
                                           set.MaxIterations, points);
        }, failure) &&
        RunStep("F-test", [&] {
            return FTest(points.get(), s.TiePointImageCounts.get(), passed,
                         static_cast<long double>(set.SignificancePercent),
                         withF ? s.BundleSigma0F : s.BundleSigma0, results);
        }, failure);
    return ok || !failure ? "" : StepFailureText(*failure);
}
}  // namespace

std::string ComputationFailureCause(ProjectState& state, CommandHost& host, ComputingCommand command) {
    // Unreadable fields have their own line already.
    if (!host.ReadCameraFields()) return "";
    if (const std::string negative = NegativeCameraConstantCause(state.Camera, host.DecimalSeparator());
        !negative.empty())
        return negative;
    if (state.Camera.f == 0.0L) return std::string(kError) + "Konstanta komory f = 0";
    // A failed orientation released its results; a failed bundle adjustment
    // released its own.
    if (!state.OrientationRefined) return OrientationCause(state, host);
    if (command == ComputingCommand::Orientation) return "";
    // Image i of one load is image i of the other; with different numbers
    // of files the measurements meet orientations of other images.
    const Matice* imageCounts = state.ImagePointCounts.get();
    const Matice* controlCounts = state.ControlPointCounts.get();
    if (host.IsItemEnabled(UiItem::Snmkovsouadnice1) && imageCounts && controlCounts &&
        imageCounts->r != controlCounts->r)
        return std::string(kError) + "Počet souborů snímkových souřadnic (" + std::to_string(imageCounts->r) +
               ") se liší od počtu souborů vlícovacích bodů (" + std::to_string(controlCounts->r) + ")";
    if (!state.BundleUnknowns) return BundleCause(state);
    if (command == ComputingCommand::Bundle) return "";
    return ObjectPointsCause(state);
}

std::string LoadFailureCause(const ReadError& error) {
    switch (error.reason) {
        case ReadFailure::CannotOpen: {
            // Why it cannot be opened, as far as the file system tells.
            std::error_code ec;
            const auto status = std::filesystem::status(error.file, ec);
            if (status.type() == std::filesystem::file_type::not_found)
                return std::string(kError) + "Soubor nenalezen: " + error.file;
            if (status.type() == std::filesystem::file_type::directory)
                return std::string(kError) + "Místo souboru je složka: " + error.file;
            return std::string(kError) + "Soubor nelze přečíst: " + error.file;
        }
        case ReadFailure::ReadError: return std::string(kError) + "Soubor nelze přečíst: " + error.file;
        case ReadFailure::TooManyLines:
            return std::string(kError) + "Soubory mají celkem " + std::to_string(error.totalLines) +
                   " řádků, načíst lze nejvýše 65 535";
        case ReadFailure::NotANumber:
            return std::string(kError) + "Soubor " + error.file + ", řádek " + std::to_string(error.line) + ": „" +
                   Shown(error.token) + "“ není číslo";
        case ReadFailure::None:
        case ReadFailure::NoFiles:
        case ReadFailure::TooManyFiles: break;
    }
    return "";
}

}  // namespace pelvanor
