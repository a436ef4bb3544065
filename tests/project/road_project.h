#pragma once
// The generated project of the whole-road tests: the Qt-free road and the
// window's road both use it, so that the window's complete protocol must
// equal the same reviewed files.

#include "tools/synth/synth.h"

namespace pelvanor::test {

// Four images of a facade in millimetres and metres, 2 micrometres of image
// noise and one blunder of 6 mm that the robust estimation removes.
inline synth::Options RoadProject() {
    synth::Options o;
    o.images = 4;
    o.control = 6;
    o.points = 16;
    o.sigma = 0.002L;
    o.realistic = true;
    o.gross = 1;
    o.gross_size = 6.0L;
    o.seed = 35;
    return o;
}

}  // namespace pelvanor::test
