// pelvanor-synth: writes a synthetic project (input files and truth) to a folder.

#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tools/synth/synth.h"

namespace {

void Usage() {
    std::fputs(
        "usage: pelvanor-synth OUTDIR [options]\n"
        "  --images N          number of images (6)\n"
        "  --control N         control points, the four common ones included (10)\n"
        "  --points N          tie points (60)\n"
        "  --sigma S           image noise per coordinate, image units (0)\n"
        "  --seed S            random seed (1)\n"
        "  --gross N           tie points with one gross error (0)\n"
        "  --gross-size S      length of a gross error, image units (0.5 % of the frame width)\n"
        "  --plane             control points in Z = 0, tie targets close above\n"
        "  --f-spread S        camera constant of each image varies by up to +-S\n"
        "  --realistic         image mm on a 36 x 24 mm frame, object in m\n"
        "  --no-distortion     all distortion coefficients 0\n"
        "  --control-in-images list the control points in the image coordinate files too\n"
        "  --min-control-images N  leave out control points seen on fewer images (2)\n"
        "  --max-views N           measure each tie point on its N nearest images only (0: all)\n"
        "  --crlf              CR LF line ends\n",
        stderr);
}

bool ParseInt(std::string_view s, long long& v) {
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

bool ParseReal(std::string_view s, long double& v) {
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

}  // namespace

int main(int argc, char** argv) {
    using namespace pelvanor::synth;
    Options o;
    std::string dir;
    for (int a = 1; a < argc; ++a) {
        const std::string_view arg = argv[a];
        auto value = [&]() -> std::string_view {
            if (a + 1 >= argc) return {};
            return argv[++a];
        };
        auto int_opt = [&](int& target) {
            long long v = 0;
            if (!ParseInt(value(), v) || v < -1000000 || v > 1000000) return false;
            target = static_cast<int>(v);
            return true;
        };
        auto real_opt = [&](long double& target) { return ParseReal(value(), target); };
        const std::pair<std::string_view, int*> ints[] = {
            {"--images", &o.images},
            {"--control", &o.control},
            {"--points", &o.points},
            {"--gross", &o.gross},
            {"--min-control-images", &o.min_control_images},
            {"--max-views", &o.max_views}};
        const std::pair<std::string_view, long double*> reals[] = {
            {"--sigma", &o.sigma}, {"--gross-size", &o.gross_size}, {"--f-spread", &o.f_spread}};
        const std::pair<std::string_view, bool*> flags[] = {
            {"--plane", &o.plane},
            {"--realistic", &o.realistic},
            {"--control-in-images", &o.control_in_images},
            {"--crlf", &o.crlf}};
        bool ok = false, known = false;
        for (const auto& [name, target] : ints)
            if (arg == name) known = true, ok = int_opt(*target);
        for (const auto& [name, target] : reals)
            if (arg == name) known = true, ok = real_opt(*target);
        for (const auto& [name, target] : flags)
            if (arg == name) known = true, ok = true, *target = true;
        if (arg == "--no-distortion") {
            known = ok = true;
            o.distortion = false;
        } else if (arg == "--seed") {
            long long v = 0;
            known = true;
            ok = ParseInt(value(), v) && v >= 0;
            o.seed = static_cast<std::uint64_t>(v);
        } else if (arg == "-h" || arg == "--help") {
            Usage();
            return 0;
        } else if (!known && !arg.empty() && arg[0] != '-' && dir.empty()) {
            dir = arg;
            ok = true;
        }
        if (!ok) {
            std::fprintf(stderr, "pelvanor-synth: bad argument %s\n", argv[a]);
            Usage();
            return 2;
        }
    }
    if (dir.empty()) {
        Usage();
        return 2;
    }
    Project p;
    std::string error;
    if (!Generate(o, p, &error) || !WriteProject(p, dir, &error)) {
        std::fprintf(stderr, "pelvanor-synth: %s\n", error.c_str());
        return 1;
    }
    // How many images each tie point is seen on.
    std::vector<int> hist(p.stations.size() + 1, 0);
    for (const auto& pt : p.tie_points) {
        std::size_t n = 0;
        for (const auto& img : p.images)
            for (const auto& ob : img.points)
                if (ob.id == pt.id) ++n;
        ++hist[n];
    }
    std::printf("tie points by number of images:");
    for (std::size_t n = 2; n < hist.size(); ++n) std::printf(" %zu:%d", n, hist[n]);
    std::printf("\n");
    std::size_t obs = 0;
    for (const auto& img : p.images) obs += img.control.size() + img.points.size();
    std::printf("%zu images, %zu control points, %zu tie points, %zu measurements written to %s\n",
                p.stations.size(), p.control_points.size(), p.tie_points.size(), obs, dir.c_str());
    return 0;
}
