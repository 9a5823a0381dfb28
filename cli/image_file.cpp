#include "cli/image_file.h"

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include <OpenImageIO/imageio.h>

#include "cli/atomic_file.h"
#include "cli/cli_error.h"
#include "cli/file_samples.h"

namespace prismora::cli {

namespace {

// OpenImageIO's messages may span lines; the user gets one.
std::string OneLine(std::string text)
{
    std::replace(text.begin(), text.end(), '\n', ' ');
    while (!text.empty() && text.back() == ' ') {
        text.pop_back();
    }
    return text.empty() ? "unknown error" : text;
}

int DepthOf(OIIO::TypeDesc format)
{
    if (format.is_floating_point()) {
        return 32;
    }
    return format.size() <= 1 ? 8 : 16;
}

OIIO::TypeDesc TypeOfDepth(int depth)
{
    switch (depth) {
    case 16:
        return OIIO::TypeDesc::UINT16;
    case 32:
        return OIIO::TypeDesc::FLOAT;
    default:
        return OIIO::TypeDesc::UINT8;
    }
}

ChannelMap MapChannels(const OIIO::ImageSpec &spec)
{
    const int n = spec.nchannels;
    int alpha = spec.alpha_channel;
    if (alpha < 0 || alpha >= n) {
        alpha = n == 2 ? 1 : (n >= 4 ? 3 : -1);
    }
    if (n < 3) {
        return {0, 0, 0, alpha};
    }
    return {0, 1, 2, alpha};
}

template <typename Sample>
void ReadSamples(OIIO::ImageInput &in, const std::filesystem::path &path, int nchannels,
                 const ChannelMap &map, int file_depth, HostImage &image)
{
    std::vector<Sample> samples(static_cast<size_t>(image.width()) * static_cast<size_t>(image.height()) *
                                static_cast<size_t>(nchannels));
    if (!in.read_image(0, 0, 0, nchannels, OIIO::BaseTypeFromC<Sample>::value, samples.data())) {
        throw UsageError("cannot read " + path.string() + ": " + OneLine(in.geterror()));
    }
    FillImage(samples, nchannels, map, file_depth, image);
}

std::unique_ptr<OIIO::ImageInput> OpenImageFile(const std::filesystem::path &path)
{
    // Keep alpha as stored: formats with unassociated alpha are not multiplied.
    OIIO::ImageSpec config;
    config.attribute("oiio:UnassociatedAlpha", 1);
    std::unique_ptr<OIIO::ImageInput> in = OIIO::ImageInput::open(path.string(), &config);
    if (!in) {
        throw UsageError("cannot read " + path.string() + ": " + OneLine(OIIO::geterror()));
    }
    const OIIO::ImageSpec &spec = in->spec();
    if (spec.width <= 0 || spec.height <= 0 || spec.nchannels <= 0 || spec.depth > 1) {
        throw UsageError("cannot read " + path.string() + ": not a two-dimensional image with channels");
    }
    return in;
}

} // namespace

ImageFileInfo ReadImageFileInfo(const std::filesystem::path &path)
{
    const std::unique_ptr<OIIO::ImageInput> in = OpenImageFile(path);
    return {in->spec().width, in->spec().height, DepthOf(in->spec().format)};
}

LoadedImage ReadImageFile(const std::filesystem::path &path, int depth)
{
    const std::unique_ptr<OIIO::ImageInput> in = OpenImageFile(path);
    const OIIO::ImageSpec &spec = in->spec();
    LoadedImage loaded;
    loaded.file_depth = DepthOf(spec.format);
    const int target = depth == 0 ? loaded.file_depth : depth;
    loaded.image = HostImage(spec.width, spec.height, target);
    const ChannelMap map = MapChannels(spec);
    switch (loaded.file_depth) {
    case 8:
        ReadSamples<uint8_t>(*in, path, spec.nchannels, map, 8, loaded.image);
        break;
    case 16:
        ReadSamples<uint16_t>(*in, path, spec.nchannels, map, 16, loaded.image);
        break;
    default:
        ReadSamples<float>(*in, path, spec.nchannels, map, 32, loaded.image);
        break;
    }
    return loaded;
}

namespace {

const char *DepthName(int depth)
{
    return depth == 32 ? "32-bit float" : (depth == 16 ? "16-bit" : "8-bit");
}

// A writer opened on `file`'s temporary path for RGBA at `depth`. Formats that
// would store other samples (PNG has no float, EXR no integers) or drop alpha
// are refused rather than quietly changing the picture.
std::unique_ptr<OIIO::ImageOutput> OpenWriter(const AtomicFile &file, int32_t width, int32_t height,
                                              int depth)
{
    const std::string target = file.target().string();
    std::unique_ptr<OIIO::ImageOutput> out = OIIO::ImageOutput::create(target);
    if (!out) {
        throw UsageError("cannot write " + target + ": " + OneLine(OIIO::geterror()));
    }
    if (!out->supports("alpha")) {
        throw UsageError("cannot write " + target + ": " + out->format_name() + " files hold no alpha");
    }
    const OIIO::TypeDesc type = TypeOfDepth(depth);
    OIIO::ImageSpec spec(width, height, 4, type);
    spec.alpha_channel = 3;
    spec.attribute("oiio:UnassociatedAlpha", 1);
    if (!out->open(file.temp_path().string(), spec)) {
        throw UsageError("cannot write " + target + ": " + OneLine(out->geterror()));
    }
    if (out->spec().format != type || out->spec().nchannels != 4) {
        const std::string format = out->format_name();
        // Some writers complain on stderr when closed with no pixels written.
        const std::vector<uint8_t> blank(static_cast<size_t>(width) * static_cast<size_t>(height) * 4 *
                                         type.size());
        out->write_image(type, blank.data());
        out->close();
        throw UsageError("cannot write " + target + ": " + format + " files cannot hold " + DepthName(depth) +
                         " RGBA (choose another --depth or format)");
    }
    return out;
}

} // namespace

void CheckImageOutputPath(const std::filesystem::path &path, int depth)
{
    // A one-pixel file written beside the target and removed again.
    AtomicFile probe(path);
    std::unique_ptr<OIIO::ImageOutput> out = OpenWriter(probe, 1, 1, depth);
    const std::vector<uint8_t> pixel(4 * TypeOfDepth(depth).size(), 0);
    out->write_image(TypeOfDepth(depth), pixel.data());
    out->close();
}

void WriteImageFile(const std::filesystem::path &path, const HostImage &image)
{
    AtomicFile file(path);
    const OIIO::TypeDesc type = TypeOfDepth(image.depth());
    const std::vector<uint8_t> rgba = FileSamples(image);
    std::unique_ptr<OIIO::ImageOutput> out = OpenWriter(file, image.width(), image.height(), image.depth());
    if (!out->write_image(type, rgba.data()) || !out->close()) {
        const std::string why = OneLine(out->geterror());
        out.reset();
        throw UsageError("cannot write " + path.string() + ": " + why);
    }
    out.reset();
    file.Commit();
}

} // namespace prismora::cli
