// Fuzz target: the camera parameter file.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "project/project_state.h"
#include "fuzz/fuzz_checks.h"
#include "fuzz/fuzz_files.h"
#include "project/loaders.h"
#include "input/camera_file.h"

using namespace pelvanor;
using namespace pelvanor::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = WriteFileSet(data, size, 1).front();

    CameraParameters camera;
    const bool ok = ReadCameraFile(path, camera);
    const long double values[8] = {camera.f,  camera.x0, camera.y0, camera.k1,
                                   camera.k2, camera.k3, camera.p1, camera.p2};
    for (long double v : values) Check(IsOrdinary(v), "a camera value read is not a finite number");

    ProjectState state;
    state.CameraLoaded = !ok;
    Check(LoadCameraFile(path, state) == ok, "LoadCameraFile disagrees with ReadCameraFile");
    Check(state.CameraLoaded == ok, "CameraLoaded is not the result of the load");
    Check(SameBits(state.Camera.f, camera.f) && SameBits(state.Camera.p2, camera.p2),
          "a second read of the same file gives other values");

    if (ok) {
        // What was read from a file must show in the fields as numbers the
        // camera can be saved from, in both separators.
        for (char decimal : {'.', ','}) {
            const CameraFieldTexts texts = CameraFieldTextsOf(camera, decimal);
            Check(CameraTextsSavable(texts, decimal), "the fields of a loaded camera cannot be saved");
        }
    }
    return 0;
}
