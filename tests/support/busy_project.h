#pragma once
// A generated block whose adjustment passes take a good part of a second
// each under the pseudo-inverse: long enough for a test to stop a
// computation in the middle of it.  For tests that link the generator.

#include <string>

#include "tools/synth/synth.h"

namespace pelvanor::test {

// Writes the block as a project folder (camera.txt, ctrl_*.txt, img_*.txt)
// into `folder`; false with the generator's reason in `error`.
inline bool WriteBusyProject(const std::string& folder, std::string* error) {
    synth::Options o;
    o.images = 8;
    o.control = 10;
    o.points = 140;
    o.sigma = 0.002L;
    o.realistic = true;
    o.seed = 5;
    synth::Project project;
    return synth::Generate(o, project, error) && synth::WriteProject(project, folder, error);
}

}  // namespace pelvanor::test
