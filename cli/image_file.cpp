#include "cli/image_file.h"

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include <OpenImageIO/filesystem.h>
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
    RequireRegularFile(path);
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

LoadedImage ReadImageFile(const std::filesystem::path &path, int depth, uint64_t memory_budget)
{
    const std::unique_ptr<OIIO::ImageInput> in = OpenImageFile(path);
    const OIIO::ImageSpec &spec = in->spec();
    LoadedImage loaded;
    loaded.file_depth = DepthOf(spec.format);
    const int target = depth == 0 ? loaded.file_depth : depth;
    // The file's samples and the host image are held at once.
    const uint64_t sample_bytes = loaded.file_depth == 8 ? 1 : (loaded.file_depth == 16 ? 2 : 4);
    CheckFitsMemory(path, spec.width, spec.height,
                    static_cast<uint64_t>(spec.nchannels) * sample_bytes + HostImage::PixelBytes(target),
                    memory_budget);
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

// Some writers do not report a short write (PNG on a full disk), so the file
// is encoded into memory and the bytes are written by the atomic file, every
// call checked. Formats OpenImageIO cannot encode into memory are written to
// the temporary file and read back whole before they may replace the target.
class Encoder {
public:
    // A writer for RGBA at `depth` under the target's name. Formats that would
    // store other samples (PNG has no float, EXR no integers) or drop alpha are
    // refused rather than quietly changing the picture.
    Encoder(AtomicFile &file, int32_t width, int32_t height, int depth)
        : file_(file), type_(TypeOfDepth(depth)), width_(width), height_(height), proxy_(bytes_)
    {
        const std::string target = file.target().string();
        out_ = OIIO::ImageOutput::create(target);
        if (!out_) {
            throw UsageError("cannot write " + target + ": " + OneLine(OIIO::geterror()));
        }
        if (!out_->supports("alpha")) {
            throw UsageError("cannot write " + target + ": " + out_->format_name() + " files hold no alpha");
        }
        in_memory_ = out_->supports("ioproxy") && out_->set_ioproxy(&proxy_);
        OIIO::ImageSpec spec(width, height, 4, type_);
        spec.alpha_channel = 3;
        spec.attribute("oiio:UnassociatedAlpha", 1);
        if (!out_->open(in_memory_ ? target : file.temp_path().string(), spec)) {
            Fail(out_->geterror());
        }
        if (out_->spec().format != type_ || out_->spec().nchannels != 4) {
            const std::string format = out_->format_name();
            // Some writers complain on stderr when closed with no pixels written.
            const std::vector<uint8_t> blank(PixelCount() * 4 * type_.size());
            out_->write_image(type_, blank.data());
            out_->close();
            throw UsageError("cannot write " + target + ": " + format + " files cannot hold " +
                             DepthName(depth) + " RGBA (choose another --depth or format)");
        }
    }

    // Encodes interleaved RGBA samples of the writer's type into the
    // temporary file, whole; throws UsageError otherwise.
    void Write(const void *rgba)
    {
        if (!out_->write_image(type_, rgba) || !out_->close()) {
            Fail(out_->geterror());
        }
        out_.reset();
        if (in_memory_) {
            file_.Write(bytes_);
        } else {
            CheckReadsBack();
        }
    }

private:
    size_t PixelCount() const { return static_cast<size_t>(width_) * static_cast<size_t>(height_); }

    // The message with the temporary file's name replaced by the user's.
    [[noreturn]] void Fail(const std::string &why) const
    {
        std::string text = OneLine(why);
        const std::string temp = file_.temp_path().string();
        for (size_t at = text.find(temp); at != std::string::npos; at = text.find(temp, at)) {
            text.replace(at, temp.size(), file_.target().string());
        }
        throw UsageError("cannot write " + file_.target().string() + ": " + text);
    }

    void CheckReadsBack() const
    {
        std::unique_ptr<OIIO::ImageInput> in = OIIO::ImageInput::open(file_.temp_path().string());
        std::vector<uint8_t> pixels(PixelCount() * 4 * type_.size());
        if (!in || in->spec().width != width_ || in->spec().height != height_ ||
            !in->read_image(0, 0, 0, 4, type_, pixels.data())) {
            Fail("the file written does not read back whole (is the disk full?)");
        }
    }

    AtomicFile &file_;
    OIIO::TypeDesc type_;
    int32_t width_;
    int32_t height_;
    std::vector<unsigned char> bytes_;
    OIIO::Filesystem::IOVecOutput proxy_;
    bool in_memory_ = false;
    std::unique_ptr<OIIO::ImageOutput> out_;
};

} // namespace

void CheckImageOutputPath(const std::filesystem::path &path, int depth)
{
    // A one-pixel file written beside the target and removed again.
    AtomicFile probe(path);
    Encoder encoder(probe, 1, 1, depth);
    const std::vector<uint8_t> pixel(4 * TypeOfDepth(depth).size(), 0);
    encoder.Write(pixel.data());
}

void WriteImageFile(const std::filesystem::path &path, const HostImage &image)
{
    AtomicFile file(path);
    const std::vector<uint8_t> rgba = FileSamples(image);
    Encoder encoder(file, image.width(), image.height(), image.depth());
    encoder.Write(rgba.data());
    file.Commit();
}

} // namespace prismora::cli
