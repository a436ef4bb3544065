#pragma once
#include <stdexcept>
#include <string>

namespace pelvanor {

// An input/output error of a file the program writes or appends to.  The
// commands that write result files let it reach the window, which shows its
// text in a message box (the text is Czech, UTF-8).
class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace pelvanor
