#include "input/control_file.h"

#include "input/text_scanner.h"

namespace pelvanor {

bool ReadControlFile(const std::string& path, MatPtr& matrix, std::uint16_t rows) {
    return detail::ReadNumberRows(path, rows, 6, matrix);
}

bool LoadControlFiles(const std::vector<std::string>& files, MatPtr& points, MatPtr& counts, MatPtr& ranges,
                      FileSetReport* report) {
    return detail::LoadNumberRowFiles(files, 6, points, counts, ranges, report) == detail::LoadOutcome::Loaded;
}

FileSetOutcome LoadControlFileSet(const std::vector<std::string>& files, MatPtr& points,
                                  MatPtr& counts, MatPtr& ranges, FileSetReport* report) {
    switch (detail::LoadNumberRowFiles(files, 6, points, counts, ranges, report)) {
        case detail::LoadOutcome::Loaded: return FileSetOutcome::Loaded;
        case detail::LoadOutcome::Failed: return FileSetOutcome::Failed;
        case detail::LoadOutcome::Refused: break;
    }
    return FileSetOutcome::Refused;
}

}  // namespace pelvanor
