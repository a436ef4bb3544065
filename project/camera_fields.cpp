#include "project/camera_fields.h"

#include "project/log_texts.h"
#include "protocol/number_format.h"

namespace pelvanor {

bool ReadComputableCameraFields(CommandHost& host, const ProjectState& state) {
    return host.ReadCameraFields() && !(state.Camera.f < 0.0L);
}

std::string NegativeCameraConstantCause(const CameraParameters& camera, char decimal) {
    if (!(camera.f < 0.0L)) return "";
    return std::string(detail::kError) + "Konstanta komory f = " + FormatGeneral(camera.f, decimal) +
           " je záporná, musí být kladná (vzdálenost středu promítání od roviny snímku)";
}

}  // namespace pelvanor
