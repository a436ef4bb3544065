#pragma once
// Synthetic projects: a known truth (camera, stations, object points) pushed
// through the central projection and the lens distortion model, written as
// the three kinds of input files a user's measuring system would produce.
//
// The camera model is implemented here on its own, from the textbook
// formulas, and deliberately shares no code with orientation/: tests of the
// orientation and adjustment code compare against this generator, so it must
// not inherit their faults.
//
// Frames and conventions:
//  - object frame: X, Y along the facade (or the test field), Z towards the
//    cameras; the stations look roughly down the -Z axis.
//  - camera frame: (U, V, W) = R^T (P - C) with R = R1(alfa) R2(beta) R3(gama);
//    a point in front of the camera has W < 0.
//  - corrected image coordinates (the model's frame, y axis up):
//        xc = x0 - f U / W,   yc = -y0 - f V / W.
//  - raw image coordinates (the measuring system's frame, y axis down) are
//    what the files hold; the correction maps raw to corrected:
//        xb = x - x0, yb = y - y0, r^2 = xb^2 + yb^2,
//        dr = k1 r^2 + k2 r^4 + k3 r^6,
//        dx = xb dr + p1 (r^2 + 2 xb^2) + 2 p1 xb yb,
//        dy = yb dr + p2 (r^2 + 2 yb^2) + 2 p2 xb yb,
//        xc = x + dx,  yc = -(y + dy).
//    The generator inverts this map numerically (Newton's method).

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "matrix/matice.h"

namespace pelvanor::synth {

// Interior orientation and distortion of the camera, in image units.
struct Camera {
    long double f = 0.0L;
    long double x0 = 0.0L;
    long double y0 = 0.0L;
    long double k1 = 0.0L;
    long double k2 = 0.0L;
    long double k3 = 0.0L;
    long double p1 = 0.0L;
    long double p2 = 0.0L;
};

// Exterior orientation of one image (object units, radians) and the camera
// constant it was taken with.
struct Station {
    long double X0 = 0.0L;
    long double Y0 = 0.0L;
    long double Z0 = 0.0L;
    long double alfa = 0.0L;
    long double beta = 0.0L;
    long double gama = 0.0L;
    long double f = 0.0L;
};

struct ObjectPoint {
    long long id = 0;
    long double X = 0.0L;
    long double Y = 0.0L;
    long double Z = 0.0L;
};

// One measurement of a point on an image.
struct Observation {
    long long id = 0;
    // Noise-free projection, corrected frame.
    long double x_true = 0.0L;
    long double y_true = 0.0L;
    // Projection plus noise (and a gross error where one was put), corrected frame.
    long double x_meas = 0.0L;
    long double y_meas = 0.0L;
    // What the file holds: x_meas, y_meas taken back to the raw frame.
    long double x_raw = 0.0L;
    long double y_raw = 0.0L;
};

struct Image {
    // Control point measurements in file order (the four common points first).
    std::vector<Observation> control;
    // Image coordinate file measurements in file order.
    std::vector<Observation> points;
};

struct GrossError {
    long long id = 0;
    int image = 0;          // 1-based
    long double dx = 0.0L;  // added to the corrected coordinates
    long double dy = 0.0L;
};

// What to generate.  Image quantities are in image units: millimetres in
// the realistic variant, otherwise units of the nominal camera constant
// (f = 1, a 1.5 x 1 frame centred on the origin).  Object quantities are in
// metres (or like units): a facade of 30 x 14 with up to 3 of relief,
// photographed from about 16.
struct Options {
    int images = 6;
    // Control points written, the four common ones included.
    int control = 10;
    // Tie points written; each is seen on two images or more.
    int points = 60;
    // Image noise, standard deviation per coordinate.
    long double sigma = 0.0L;
    std::uint64_t seed = 1;
    // Number of tie points with a gross error on one of their measurements.
    int gross = 0;
    // Length of a gross error; 0 means half a percent of the frame width.
    long double gross_size = 0.0L;
    // Control points in Z = 0, tie targets at most 0.4 above it.
    bool plane = false;
    // Camera constant of image i = f + f_spread * u_i, u_i uniform in [-1, 1].
    long double f_spread = 0.0L;
    // Millimetres on a 36 x 24 mm frame (origin top left, y down), f = 24 mm.
    bool realistic = false;
    // False: all five distortion coefficients 0.
    bool distortion = true;
    // Also list the control points in the image coordinate files.
    bool control_in_images = false;
    // Control points seen on fewer images are not written.
    int min_control_images = 2;
    // A tie point is measured only on the `max_views` images nearest to it
    // (projection centre to point) among those that see it; 0: on all.
    // Large blocks keep within the 65535 lines of the files this way.
    int max_views = 0;
    // CR LF instead of LF line ends.
    bool crlf = false;
};

// Frame of the raw image coordinates: a point is measured when its raw
// coordinates fall inside [xmin, xmax] x [ymin, ymax].
struct Frame {
    long double xmin = 0.0L;
    long double xmax = 0.0L;
    long double ymin = 0.0L;
    long double ymax = 0.0L;
};

struct Project {
    Options options;
    Camera camera;  // nominal camera: what camera.txt holds
    Frame frame;
    std::vector<Station> stations;            // one per image
    std::vector<ObjectPoint> control_points;  // in id order; the first four are on every image
    std::vector<ObjectPoint> tie_points;      // in id order
    std::vector<Image> images;
    std::vector<GrossError> gross_errors;
};

// Builds the project from the options; false with a message in `error` when
// the options are out of range or the geometry cannot satisfy them.
bool Generate(const Options& options, Project& project, std::string* error = nullptr);

// Writes camera.txt, ctrl_NN.txt, img_NN.txt, truth_eo.txt, truth_points.txt
// and truth_gross.txt into `dir` (created when missing).  False with a
// message in `error` on a write failure.
bool WriteProject(const Project& project, const std::string& dir, std::string* error = nullptr);

// The tables the program's loaders make from the written files, made here
// directly from the project (the files hold the shortest text that reads
// back to each value, so both agree bit for bit): ControlPoints (N x 6),
// ControlPointCounts (n x 1), ControlPointRanges (n x 2), ImagePoints
// (N x 4), ImagePointCounts, ImagePointRanges and the default
// SelectedOrientationPoints (4n x 1, the first four rows of every image).
struct InputTables {
    MatPtr control_points;
    MatPtr control_counts;
    MatPtr control_ranges;
    MatPtr image_points;
    MatPtr image_counts;
    MatPtr image_ranges;
    MatPtr selected_orientation_points;
};
InputTables MakeInputTables(const Project& project);

// The true exterior orientations as orientation rows, m x 12:
// r11 .. r33, X0, Y0, Z0.
MatPtr TruthOrientationRows(const Project& project);

// File name stem numbering of image i (1-based) of n images: "01", "02", ...
std::string ImageTag(int image, int image_count);

// Shortest text that reads back to the same long double, "." whatever the locale.
std::string FormatNumber(long double value);

// ---- Camera model (object_from/image_from helpers) ----

// Rotation R = R1(alfa) R2(beta) R3(gama), row-major r11 .. r33.
std::array<long double, 9> RotationFromAngles(long double alfa, long double beta, long double gama);

// Camera-frame coordinates (U, V, W) = R^T (P - C) of an object point.
std::array<long double, 3> CameraFromObject(const Station& station, long double X, long double Y,
                                            long double Z);

// Corrected image coordinates of an object point; false when the point is
// not in front of the camera (W >= 0).
bool ProjectPoint(const Station& station, const Camera& camera, long double X, long double Y,
                  long double Z, long double& xc, long double& yc);

// The distortion correction and y reversal: corrected from raw.
void CorrectedFromRaw(const Camera& camera, long double x, long double y, long double& xc,
                      long double& yc);

// Inverse of CorrectedFromRaw by Newton's method; false when it does not
// converge to 1e-15 relative.
bool RawFromCorrected(const Camera& camera, long double xc, long double yc, long double& x,
                      long double& y);

}  // namespace pelvanor::synth
