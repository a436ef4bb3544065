#pragma once
// The lens distortion view ("Zkreslení objektivu") of "Kalibrace kamery":
// in the measuring system of the files (y growing downwards), the measured
// area of all images with every measured position, and the distortion
// correction (dx, dy) of DistortionCorrection on a grid over that area as
// vectors, for the camera before and after the calibration, magnified alike;
// beside it the radial part of the correction, r (k1 r^2 + k2 r^4 + k3 r^6),
// as a curve against the radius r from each camera's principal point out to
// the farthest measured position, before and after, with its own vertical
// scale written on its axis.  The radius axis has the drawing's scale, so
// the scale bar of image units measures both the area and the radius.

#include <string>

#include "project/plot_scene.h"

namespace pelvanor {

// Grid nodes across the larger side of the measured area.
inline constexpr int kDistortionGridSteps = 12;
// Segments of each radial curve.
inline constexpr int kDistortionCurveSteps = 100;

// The scene; a note says why nothing is drawn (no calibration result).
PlotScene DistortionScene(const ProjectState& state, const PlotRequest& request, char decimal,
                          const std::string& projectName);

// The radial part of the distortion correction at radius r from the
// principal point: r (k1 r^2 + k2 r^4 + k3 r^6), image units, positive
// outwards (the length of DistortionCorrection along a ray from the
// principal point when p1 = p2 = 0).
long double RadialCorrection(const CameraParameters& camera, long double r);

}  // namespace pelvanor
