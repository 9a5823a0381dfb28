#include "cli/file_samples.h"

namespace prismora::cli {

std::vector<uint8_t> FileSamples(const HostImage &image)
{
    const size_t sample_size = image.depth() == 8 ? 1 : (image.depth() == 16 ? 2 : 4);
    const size_t count = static_cast<size_t>(image.width()) * static_cast<size_t>(image.height());
    std::vector<uint8_t> rgba(count * 4 * sample_size);
    for (int32_t y = 0; y < image.height(); ++y) {
        for (int32_t x = 0; x < image.width(); ++x) {
            const size_t i = (static_cast<size_t>(y) * static_cast<size_t>(image.width()) + x) * 4;
            if (image.depth() == 8) {
                const PF_Pixel8 &p = image.at<PF_Pixel8>(x, y);
                uint8_t *d = rgba.data() + i;
                d[0] = p.red, d[1] = p.green, d[2] = p.blue, d[3] = p.alpha;
            } else if (image.depth() == 16) {
                const PF_Pixel16 &p = image.at<PF_Pixel16>(x, y);
                uint16_t *d = reinterpret_cast<uint16_t *>(rgba.data()) + i;
                d[0] = HostToFile16(p.red), d[1] = HostToFile16(p.green), d[2] = HostToFile16(p.blue);
                d[3] = HostToFile16(p.alpha);
            } else {
                const PF_PixelFloat &p = image.at<PF_PixelFloat>(x, y);
                float *d = reinterpret_cast<float *>(rgba.data()) + i;
                d[0] = p.red, d[1] = p.green, d[2] = p.blue, d[3] = p.alpha;
            }
        }
    }
    return rgba;
}

} // namespace prismora::cli
