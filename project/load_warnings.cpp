#include "project/load_warnings.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <optional>
#include <system_error>

#include "matrix/fp_guard.h"
#include "matrix/svd.h"
#include "project/double_mark_warning.h"
#include "project/log_texts.h"

namespace pelvanor {

namespace {

using detail::IndexValue;
using detail::kWarn;
using detail::ListText;
using detail::ReadBytes;

// The control points of an image are "collinear" when the root mean square
// of their offsets from their best-fitting straight line is below this
// fraction of the root mean square of their spread along it.  The rotation
// of the image about that line is determined only through those offsets;
// at 1 % it is a hundred times weaker than the other elements, which breaks
// the four-point methods and leaves the refinement to turn the image freely
// about the line.  Compared as squares (eigenvalues of the scatter matrix).
constexpr long double kCollinearRatio = 1.0e-2L;

struct Point3 {
    long double X = 0.0L;
    long double Y = 0.0L;
    long double Z = 0.0L;
};

// "1 číslo", "3 čísla", "5 čísel".
std::string NumbersText(long long n) {
    const char* noun = n == 1 ? "číslo" : (n >= 2 && n <= 4) ? "čísla" : "čísel";
    return std::to_string(n) + " " + noun;
}

// The first line of every file that is not blank and, in a control file,
// does not begin with six numbers or, in an image coordinate file, does.
void NumbersPerLineWarning(const FileSetReport& read, bool controlFiles, std::vector<std::string>& out) {
    std::vector<std::string> items;
    for (const FileLines& file : read.files) {
        const std::vector<std::int32_t>& lines = file.leadingNumbers;
        for (std::size_t k = 0; k < lines.size(); ++k) {
            if (lines[k] == kBlankFileLine) continue;
            const long long n = lines[k];
            if (controlFiles ? n == 6 : n != 6) continue;
            items.push_back(file.file + " (řádek " + std::to_string(k + 1) +
                            (controlFiles ? ": " + NumbersText(n) + ")" : ")"));
            break;
        }
    }
    if (items.empty()) return;
    const bool one = items.size() == 1;
    if (controlFiles)
        out.push_back(std::string(kWarn) +
                      (one ? "Soubor vlícovacích bodů nemá" : "Soubory vlícovacích bodů nemají") +
                      " šest čísel na řádku (číslo bodu, X, Y, Z, x, y): " + ListText(items));
    else
        out.push_back(std::string(kWarn) +
                      (one ? "Soubor snímkových souřadnic má" : "Soubory snímkových souřadnic mají") +
                      " šest čísel na řádku jako vlícovací body (jsou zaměněny druhy souborů?): " + ListText(items));
}

// An image coordinate line holds the point number, x, y and a fourth
// number; the reader takes four numbers per row whatever the line ends, so
// a line with fewer lets every later number of the file slip into the
// wrong column.
constexpr std::int32_t kImageLineNumbers = 4;
// The exterior orientation of an image has six unknowns and a measured
// point gives two equations: three points are the least that fix it.
constexpr long long kOrientationPoints = 3;

// "1 bod", "2 body", "5 bodů".
std::string PointsText(long long n) {
    const char* noun = n == 1 ? "bod" : (n >= 2 && n <= 4) ? "body" : "bodů";
    return std::to_string(n) + " " + noun;
}

// Image coordinate files that hold no point, files with a line of fewer
// numbers than a row takes, and images with fewer points than fix an
// orientation: each loads without failure, and each changes the result
// without a word (an image without points, numbers moved into the wrong
// column, an image held by its control points alone).
void ImageFileContentWarnings(const FileSetReport& read, const ProjectState& state, std::vector<std::string>& out) {
    std::vector<std::string> empty;
    std::vector<std::string> shortLines;
    std::vector<std::string> fewPoints;
    const Matice* counts = state.ImagePointCounts.get();
    for (std::size_t i = 0; i < read.files.size(); ++i) {
        const FileLines& file = read.files[i];
        const std::string image = std::to_string(i + 1);
        bool anyNumber = false;
        bool shortReported = false;
        for (std::size_t k = 0; k < file.leadingNumbers.size(); ++k) {
            const std::int32_t n = file.leadingNumbers[k];
            if (n == kBlankFileLine) continue;
            anyNumber = anyNumber || n > 0;
            if (n < kImageLineNumbers && !shortReported) {
                shortLines.push_back(file.file + " (řádek " + std::to_string(k + 1) + ": " + NumbersText(n) + ")");
                shortReported = true;
            }
        }
        if (!anyNumber) {
            empty.push_back(file.file + " (snímek " + image + ")");
            continue;
        }
        if (counts != nullptr && static_cast<int>(i) < counts->r) {
            const long long rows = IndexValue(counts->GetPrvek(static_cast<int>(i) + 1, 1));
            if (rows > 0 && rows < kOrientationPoints)
                fewPoints.push_back("snímek " + image + " (" + PointsText(rows) + ", " + file.file + ")");
        }
    }
    if (!empty.empty())
        out.push_back(std::string(kWarn) +
                      (empty.size() == 1 ? "Soubor snímkových souřadnic neobsahuje" : "Soubory snímkových souřadnic neobsahují") +
                      " žádný bod: " + ListText(empty));
    if (!shortLines.empty())
        out.push_back(std::string(kWarn) + "Řádek snímkových souřadnic má méně než čtyři čísla (číslo bodu, x, y a čtvrté "
                                           "číslo), čísla dalších řádků se posunou do jiných sloupců: " +
                      ListText(shortLines));
    if (!fewPoints.empty())
        out.push_back(std::string(kWarn) +
                      "Méně než tři body ve snímkových souřadnicích, orientaci snímku (šest neznámých) z nich nelze "
                      "určit a ve svazkovém vyrovnání ji drží jen vlícovací body: " +
                      ListText(fewPoints));
}

void SameFileWarnings(const std::vector<std::string>& files, std::vector<std::string>& out) {
    std::vector<std::optional<std::string>> contents(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        std::string bytes;
        if (ReadBytes(files[i], bytes)) contents[i] = std::move(bytes);
    }
    std::vector<bool> reported(files.size(), false);
    for (std::size_t j = 1; j < files.size(); ++j) {
        for (std::size_t i = 0; i < j && !reported[j]; ++i) {
            std::error_code ec;
            if (files[i] == files[j] || std::filesystem::equivalent(files[i], files[j], ec)) {
                out.push_back(std::string(kWarn) + "Soubor je vybrán dvakrát: " + files[j]);
                reported[j] = true;
            } else if (contents[i] && contents[j] && !contents[j]->empty() && *contents[i] == *contents[j]) {
                out.push_back(std::string(kWarn) + "Soubor " + files[j] + " má stejný obsah jako " + files[i]);
                reported[j] = true;
            }
        }
    }
}

// Images whose control points (object coordinates) lie on a line.
void CollinearControlWarning(const ProjectState& s, std::vector<std::string>& out) {
    const Matice* cp = s.ControlPoints.get();
    const Matice* ranges = s.ControlPointRanges.get();
    if (!cp || !ranges || cp->s < 4 || ranges->s < 2) return;
    std::vector<std::string> images;
    for (int j = 1; j <= ranges->r; ++j) {
        const long long first = std::max(IndexValue(ranges->GetPrvek(j, 1)), 1LL);
        const long long last = std::min<long long>(IndexValue(ranges->GetPrvek(j, 2)), cp->r);
        std::vector<Point3> points;
        for (long long row = first; row <= last; ++row) {
            const int i = static_cast<int>(row);
            if (std::nearbyint(cp->GetPrvek(i, 1)) > 0.0L)
                points.push_back({cp->GetPrvek(i, 2), cp->GetPrvek(i, 3), cp->GetPrvek(i, 4)});
        }
        if (points.size() < 2) continue;
        bool collinear = false;
        const bool computed = GuardedComputation([&] {
            Point3 c;
            const long double n = static_cast<long double>(points.size());
            for (const Point3& p : points) {
                c.X += p.X / n;
                c.Y += p.Y / n;
                c.Z += p.Z / n;
            }
            // Scatter matrix; its eigenvalues are its singular values.
            MatPtr scatter = NewMatrix(3, 3);
            for (const Point3& p : points) {
                const long double d[3] = {p.X - c.X, p.Y - c.Y, p.Z - c.Z};
                for (int a = 0; a < 3; ++a)
                    for (int b = 0; b < 3; ++b)
                        scatter->SetPrvek(a + 1, b + 1, scatter->GetPrvek(a + 1, b + 1) + d[a] * d[b]);
            }
            MatPtr w, v;
            Svdcmp(*scatter, w, v);
            long double e[3] = {w->GetPrvek(1, 1), w->GetPrvek(2, 1), w->GetPrvek(3, 1)};
            std::sort(e, e + 3);
            collinear = e[0] + e[1] <= kCollinearRatio * kCollinearRatio * e[2];
            return true;
        });
        if (computed && collinear) images.push_back(std::to_string(j));
    }
    if (images.empty()) return;
    out.push_back(std::string(kWarn) + "Vlícovací body leží (téměř) na přímce: " +
                  (images.size() == 1 ? "snímek " : "snímky ") + ListText(images));
}

}  // namespace

std::vector<std::string> LoadWarnings(const FileSetReport& read, bool controlFiles, const ProjectState& state) {
    std::vector<std::string> out;
    NumbersPerLineWarning(read, controlFiles, out);
    if (!controlFiles) ImageFileContentWarnings(read, state, out);
    std::vector<std::string> files;
    for (const FileLines& file : read.files) files.push_back(file.file);
    SameFileWarnings(files, out);
    if (controlFiles) CollinearControlWarning(state, out);
    for (std::string& line : DoubleMarkWarnings(files, state)) out.push_back(std::move(line));
    return out;
}

}  // namespace pelvanor
