#include "input/image_file.h"

#include "input/text_scanner.h"

namespace pelvanor {

bool CountLines(const std::string& path, long long& count) {
    count = 0;
    detail::TextScanner scanner;
    if (!scanner.Open(path)) return false;
    return scanner.CountRemainingLines(count);
}

bool ReadImageFile(const std::string& path, MatPtr& matrix, std::uint16_t rows) {
    return detail::ReadNumberRows(path, rows, 4, matrix);
}

bool LoadImageFiles(const std::vector<std::string>& files, MatPtr& points, MatPtr& counts, MatPtr& ranges,
                    FileSetReport* report) {
    return detail::LoadNumberRowFiles(files, 4, points, counts, ranges, report) == detail::LoadOutcome::Loaded;
}

}  // namespace pelvanor
