#include "protocol/coordinate_report.h"

#include <algorithm>

#include "protocol/number_format.h"
#include "protocol/report_layout.h"
#include "matrix/text_file.h"

namespace pelvanor {

const std::string kPointsHeader = Spaces(8) + "Číslo" + Spaces(1) + "bodu" + Spaces(7) + "X[m]" +
                                  Spaces(12) + "Y[m]" + Spaces(12) + "Z[m]" + Spaces(13) + "m0" +
                                  Spaces(13) + "Mx[m]" + Spaces(11) + "My[m]" + Spaces(11) + "Mz[m]";
const std::string kPointsHeaderFTest =
    kPointsHeader + Spaces(9) + "kriterium" + Spaces(8) + "Fisher" + Spaces(1);

std::vector<std::string> CoordinateFileHeaderLines(bool withFTest) {
    return {"Protokol o výpočtu prostorových souřadnic - program Pelvanor", Rule('*', 60),
            withFTest ? kPointsHeaderFTest : kPointsHeader};
}

void CoordinateFileHeader(const std::string& file) {
    WriteTextLines(file, CoordinateFileHeaderLines(false), false);
}

void CoordinateFileHeaderFTest(const std::string& file) {
    WriteTextLines(file, CoordinateFileHeaderLines(true), false);
}

MatPtr CombinedCoordinateTable(const Matice& points, const Matice& ftest) {
    MatPtr table = NewMatrix(points.r, 10);
    const int pointCols = std::min<int>(points.s, 8);
    const int testRows = std::min<int>(points.r, ftest.r);
    const int testCols = std::min<int>(ftest.s, 2);
    for (int i = 1; i <= points.r; ++i)
        for (int j = 1; j <= pointCols; ++j) table->SetPrvek(i, j, points.GetPrvek(i, j));
    for (int i = 1; i <= testRows; ++i)
        for (int j = 1; j <= testCols; ++j) table->SetPrvek(i, 8 + j, ftest.GetPrvek(i, j));
    return table;
}

std::string CoordinateFileText(const Matice& table, bool withFTest) {
    std::string text = TextLinesBytes(CoordinateFileHeaderLines(withFTest));
    if (withFTest || TableEntryCount(&table) != 0) text += table.DumpText();
    return text;
}

void AppendPointRows(const Matice& table, const std::string& file) {
    if (TableEntryCount(&table) == 0) {
        // Still require the file, as the dump would.
        WriteTextLines(file, {}, true);
        return;
    }
    table.VypisDoSouboru(file);
}

}  // namespace pelvanor
