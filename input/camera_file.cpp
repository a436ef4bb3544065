#include "input/camera_file.h"

#include "input/number_parse.h"
#include "input/text_scanner.h"
#include "matrix/file_error.h"
#include "matrix/fp_guard.h"
#include "matrix/text_file.h"

namespace pelvanor {

bool ReadCameraFile(const std::string& path, CameraParameters& camera, ReadError* error) {
    detail::TextScanner scanner;
    if (!scanner.Open(path)) {
        if (error != nullptr) *error = ReadError{ReadFailure::CannotOpen, path, 0, {}, 0};
        return false;
    }
    long double* const fields[8] = {&camera.f,  &camera.x0, &camera.y0, &camera.k1,
                                    &camera.k2, &camera.k3, &camera.p1, &camera.p2};
    bool notANumber = false;
    const bool ok = GuardedComputation([&] {
        for (long double* field : fields) {
            long double v = 0.0L;
            if (!scanner.ReadNumber(v)) {
                notANumber = !scanner.ReadFailed();
                return false;
            }
            *field = v;
            scanner.SkipLine();
        }
        return !scanner.ReadFailed();
    });
    if (!ok && error != nullptr) {
        *error = notANumber ? ReadError{ReadFailure::NotANumber, path, scanner.TokenLine(), scanner.Token(), 0}
                            : ReadError{ReadFailure::ReadError, path, 0, {}, 0};
    }
    return ok;
}

bool CameraTextsSavable(const CameraFieldTexts& texts, char decimal) {
    for (const std::string& text : texts) {
        long double v = 0.0L;
        if (!ParseFieldNumber(text, decimal, v)) return false;
        // A longer number would be written but refused when read back.
        if (TrimBlanks(text).size() > kMaxFileNumberLength) return false;
    }
    return true;
}

std::vector<std::string> CameraFileLines(const CameraFieldTexts& texts, char decimal) {
    std::vector<std::string> lines;
    lines.reserve(texts.size());
    for (std::string text : texts) {
        for (char& c : text)
            if (c == ',' || c == decimal) c = '.';
        lines.push_back(std::move(text));
    }
    return lines;
}

bool WriteCameraFile(const std::string& path, const CameraFieldTexts& texts, char decimal) {
    try {
        WriteTextLines(path, CameraFileLines(texts, decimal), false);
        return true;
    } catch (const FileError&) {
        return false;
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace pelvanor
