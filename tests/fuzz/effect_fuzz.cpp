// Fuzz target: one frame through the simulated host, everything about it taken
// from the input bytes: layer size (0 and 1 included), depth, pixels (float
// specials included), row padding and direction (bottom-up rows), render path
// (smart, tiles, one request anywhere, plain render, the emulated GPU), every
// parameter (floats may be NaN, infinite or far out of range) and a matte of
// its own size. A crash, a sanitizer report, a host contract violation or
// unbalanced books stop it.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <tuple>

#include "hostsim/host.h"
#include "hostsim/host_error.h"

namespace {

using prismora::hostsim::FormatForDepth;
using prismora::hostsim::FrameJob;
using prismora::hostsim::FrameResult;
using prismora::hostsim::GpuDeviceChoice;
using prismora::hostsim::Host;
using prismora::hostsim::HostError;
using prismora::hostsim::HostOptions;
using prismora::hostsim::RenderPath;
using prismora::hostsim::World;

// Reads the input front to back; past its end every value is zero.
class Bytes {
public:
    Bytes(const uint8_t *data, size_t size) : data_(data), size_(size) {}
    uint8_t u8() { return pos_ < size_ ? data_[pos_++] : 0; }
    uint32_t u32()
    {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) {
            v = (v << 8) | u8();
        }
        return v;
    }
    int range(int lo, int hi) { return lo + static_cast<int>(u8() % static_cast<unsigned>(hi - lo + 1)); }
    float raw_float()
    {
        const uint32_t bits = u32();
        float f;
        std::memcpy(&f, &bits, sizeof(f));
        return f;
    }
    // A slider value: often in range, sometimes a special, a limit, up to one
    // range beyond either end, or any float at all.
    double slider(double lo, double hi)
    {
        const double span = std::max(hi - lo, 1.0);
        switch (u8() % 10) {
        case 0:
            return std::numeric_limits<double>::quiet_NaN();
        case 1:
            return u8() % 2 ? std::numeric_limits<double>::infinity()
                            : -std::numeric_limits<double>::infinity();
        case 2:
            return u8() % 2 ? lo - span * (u8() / 255.0) : hi + span * (u8() / 255.0);
        case 3:
            return u8() % 2 ? lo : hi;
        case 4:
            return raw_float(); // denormals, signed zeros, 1e38, any bit pattern
        default:
            return lo + (hi - lo) * (u8() / 255.0);
        }
    }

private:
    const uint8_t *data_;
    size_t size_;
    size_t pos_ = 0;
};

const char *PluginPath()
{
    const char *path = std::getenv("PRISMORA_FUZZ_PLUGIN");
    return path ? path : PRISMORA_FUZZ_PLUGIN;
}

// One started host per row layout, kept for the whole run (a load and the
// three set-ups per input would drown the frame). Every host loads the same
// plug-in, so a frame job made by one renders on any.
Host &HostWithRows(A_long padding_bytes, A_long gpu_padding_pixels, bool bottom_up)
{
    static std::map<std::tuple<A_long, A_long, bool>, std::unique_ptr<Host>> hosts;
    std::unique_ptr<Host> &host = hosts[{padding_bytes, gpu_padding_pixels, bottom_up}];
    if (!host) {
        HostOptions options;
        options.row_padding_bytes = padding_bytes;
        options.bottom_up_rows = bottom_up;
        options.gpu_row_padding_pixels = gpu_padding_pixels;
        options.gpu_device = GpuDeviceChoice::kEmulated;
        host = std::make_unique<Host>(PluginPath(), options);
        host->Start();
    }
    return *host;
}

// Row padding choice 0..3 at a depth: none; three channels, so that rows keep
// every channel aligned but not every pixel (After Effects' rows never split a
// channel: its own iterate callbacks hand the effect typed pixel pointers);
// 16 bytes; 36 bytes.
Host &HostFor(int choice, int depth, bool bottom_up)
{
    const A_long padding[] = {0, 3 * depth / 8, 16, 36};
    static constexpr A_long kGpuPadding[] = {0, 1, 5, 0};
    return HostWithRows(padding[choice], kGpuPadding[choice], bottom_up);
}

World MakeLayer(Bytes &in, A_long width, A_long height, int depth)
{
    World w(width, height, FormatForDepth(depth));
    const int style = in.u8() % 4;
    const uint32_t seed = in.u32();
    for (A_long y = 0; y < height; ++y) {
        for (A_long x = 0; x < width; ++x) {
            if (style == 0) {
                // Raw channel bytes: at 32 bits any float, NaN and infinities included.
                auto *p = reinterpret_cast<uint8_t *>(w.PixelBytes(x, y));
                const size_t n = depth == 8 ? 4 : (depth == 16 ? 8 : 16);
                for (size_t i = 0; i < n; ++i) {
                    p[i] = in.u8();
                }
                if (depth == 16) { // 16-bit channels stop at 32768
                    auto *c = reinterpret_cast<uint16_t *>(p);
                    for (int i = 0; i < 4; ++i) {
                        c[i] = static_cast<uint16_t>(c[i] % 32769);
                    }
                }
                continue;
            }
            const uint32_t h =
                (static_cast<uint32_t>(x) * 73856093u) ^ (static_cast<uint32_t>(y) * 19349663u) ^ seed;
            const float a = style == 1 ? 1.0f : static_cast<float>(h & 0xFF) / 255.0f;
            const float r = static_cast<float>((h >> 8) & 0xFF) / (style == 3 ? 64.0f : 255.0f);
            const float g = static_cast<float>((x + y) % 7) / 6.0f;
            const float b = static_cast<float>((h >> 16) & 0xFF) / 255.0f;
            w.Set(x, y, {a, r, g, b});
        }
    }
    return w;
}

void SetParams(Bytes &in, FrameJob &job, const World *matte)
{
    prismora::hostsim::ParamSet &params = job.params;
    for (PF_ParamIndex i = 1; i < params.size(); ++i) {
        const PF_ParamDef &def = params.def(i);
        if (in.u8() % 3 == 0) {
            continue; // the default
        }
        switch (def.param_type) {
        case PF_Param_FLOAT_SLIDER:
            params.SetFloat(i, in.slider(def.u.fs_d.valid_min, def.u.fs_d.valid_max));
            break;
        case PF_Param_POPUP:
            params.SetPopup(i, 1 + in.u8() % def.u.pd.num_choices);
            break;
        case PF_Param_POINT:
            params.SetPoint(i, static_cast<PF_Fixed>(in.u32()) >> in.range(0, 16),
                            static_cast<PF_Fixed>(in.u32()) >> in.range(0, 16));
            break;
        case PF_Param_COLOR:
            params.SetColor(i, {in.u8(), in.u8(), in.u8(), in.u8()});
            break;
        case PF_Param_CHECKBOX:
            params.SetCheckbox(i, in.u8() % 2 == 1);
            break;
        case PF_Param_LAYER:
            params.SetLayer(i, matte);
            break;
        default:
            break;
        }
    }
}

[[noreturn]] void Finding(const char *what, const std::string &detail)
{
    std::fprintf(stderr, "finding: %s: %s\n", what, detail.c_str());
    std::abort();
}

} // namespace

// The hosts load the plug-in before fuzzing starts, so that libFuzzer counts
// the library's coverage from the first input.
extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    for (int choice = 0; choice < 4; ++choice) {
        for (const int depth : {8, 16, 32}) {
            HostFor(choice, depth, false);
            HostFor(choice, depth, true);
        }
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Bytes in(data, size);
    const uint8_t mode = in.u8();
    static constexpr int kDepths[] = {8, 16, 32, 8};
    const int depth = kDepths[(mode >> 2) & 3];
    // Small layers keep each frame quick; 0 and 1 come up often.
    const A_long width = in.range(0, 16);
    const A_long height = in.range(0, 16);
    const World input = MakeLayer(in, width, height, depth);
    std::optional<World> matte;
    if (in.u8() % 2) {
        matte = MakeLayer(in, in.range(0, 16), in.range(0, 16), depth);
    }

    FrameJob job = HostFor(0, depth, false).NewFrame(input, depth);
    SetParams(in, job, matte ? &*matte : nullptr);
    static constexpr RenderPath kPaths[] = {RenderPath::kSmart, RenderPath::kLegacy,
                                            RenderPath::kGpuWhenPossible, RenderPath::kGpuWhenPossible};
    job.path = kPaths[(mode >> 4) & 3];
    const int split = (mode >> 6) & 3;
    if (job.path != RenderPath::kLegacy && split == 1 && width > 0 && height > 0) {
        job.tile_width = in.range(1, 12);
        job.tile_height = in.range(1, 12);
    } else if (job.path != RenderPath::kLegacy && (split == 2 || width == 0 || height == 0)) {
        // One request anywhere, inside the layer or not, never empty.
        const A_long left = in.range(-24, 24);
        const A_long top = in.range(-24, 24);
        job.request = PF_LRect{left, top, left + in.range(1, 20), top + in.range(1, 20)};
    }
    job.current_time = in.range(0, 255);

    if (job.path == RenderPath::kLegacy && (width == 0 || height == 0)) {
        return 0; // the plain render always renders the whole, non-empty layer
    }
    // Last, so that inputs from before it existed keep their meaning (past the
    // end every byte reads zero: rows top-down).
    Host &host = HostFor(mode & 3, depth, in.u8() % 2 == 1);
    try {
        host.Render(job);
    } catch (const HostError &e) {
        Finding("host contract", e.what());
    }
    const std::vector<std::string> left_over = host.books().Imbalances();
    if (!left_over.empty()) {
        Finding("books", left_over.front());
    }
    // Each input leaves the books as it found them: a call log that grew from
    // input to input would hold memory for the whole run, and every input
    // would look like a leak to libFuzzer (a stop-the-world leak check each).
    host.books().Reset();
    return 0;
}
