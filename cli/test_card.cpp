#include "cli/test_card.h"

#include <algorithm>
#include <cmath>

namespace prismora::cli {

namespace {

float Clamp01(float v)
{
    return std::min(1.0f, std::max(0.0f, v));
}

// Coverage of an edge at signed distance d (negative inside), one pixel wide,
// so shapes are antialiased and the blur has soft as well as hard edges to show.
float Coverage(float d)
{
    return Clamp01(0.5f - d);
}

std::array<float, 3> Hue(float h)
{
    const float r = std::fabs(h * 6.0f - 3.0f) - 1.0f;
    const float g = 2.0f - std::fabs(h * 6.0f - 2.0f);
    const float b = 2.0f - std::fabs(h * 6.0f - 4.0f);
    return {Clamp01(r), Clamp01(g), Clamp01(b)};
}

void Mix(std::array<float, 3> &rgb, const std::array<float, 3> &over, float t)
{
    for (int c = 0; c < 3; ++c) {
        rgb[c] += (over[c] - rgb[c]) * t;
    }
}

} // namespace

HostImage MakeTestCard(int32_t width, int32_t height)
{
    HostImage card(width, height, 8);
    const float cell = 40.0f;
    const float cx = width * 0.5f;
    const float cy = height * 0.5f;
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const float px = x + 0.5f;
            const float py = y + 0.5f;
            // Hue across, brightness down: any displacement changes the colour.
            std::array<float, 3> rgb = Hue(px / width);
            const float shade = 0.35f + 0.6f * (1.0f - py / height);
            for (float &c : rgb) {
                c = c * shade + 0.08f;
            }
            const bool dark = (static_cast<int>(px / cell) + static_cast<int>(py / cell)) % 2 == 0;
            if (dark) {
                Mix(rgb, {0.0f, 0.0f, 0.0f}, 0.3f);
            }
            // Thin white grid lines bend visibly under the lens.
            const float gx = std::fabs(std::fmod(px, cell) - cell * 0.5f);
            const float gy = std::fabs(std::fmod(py, cell) - cell * 0.5f);
            const float line = std::max(Coverage(cell * 0.5f - gx - 1.0f), Coverage(cell * 0.5f - gy - 1.0f));
            Mix(rgb, {1.0f, 1.0f, 1.0f}, line * 0.85f);
            // Fine black and white stripes (left) show the blur's strength.
            if (px > width * 0.06f && px < width * 0.22f && py > height * 0.2f && py < height * 0.8f) {
                const float period = 4.0f + 12.0f * (py - height * 0.2f) / (height * 0.6f);
                const float v = std::fmod(px, period) < period * 0.5f ? 1.0f : 0.0f;
                rgb = {v, v, v};
            }
            // Saturated discs near the centre split into fringes at the rim.
            const float discs[3][2] = {{-70.0f, -40.0f}, {60.0f, -30.0f}, {0.0f, 60.0f}};
            const std::array<float, 3> colours[3] = {
                {1.0f, 0.1f, 0.1f}, {0.1f, 1.0f, 0.2f}, {0.15f, 0.3f, 1.0f}};
            for (int i = 0; i < 3; ++i) {
                const float d = std::hypot(px - cx - discs[i][0], py - cy - discs[i][1]) - 45.0f;
                Mix(rgb, colours[i], Coverage(d));
            }
            // A white ring on the right, a black one on the left of the centre.
            const float ring_r = std::fabs(std::hypot(px - width * 0.78f, py - cy) - 80.0f) - 6.0f;
            Mix(rgb, {1.0f, 1.0f, 1.0f}, Coverage(ring_r));
            const float ring_k = std::fabs(std::hypot(px - cx, py - cy) - 150.0f) - 3.0f;
            Mix(rgb, {0.0f, 0.0f, 0.0f}, Coverage(ring_k));
            card.set_normalized(x, y, {1.0f, rgb[0], rgb[1], rgb[2]});
        }
    }
    return card;
}

HostImage MakeTestMatte(int32_t width, int32_t height)
{
    HostImage matte(width, height, 8);
    const float s = std::min(width, height) / 540.0f;
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const float px = x + 0.5f;
            const float py = y + 0.5f;
            // Two discs joined by a rounded bar: a blob with concave and convex rims.
            const float a = std::hypot(px - width * 0.36f, py - height * 0.45f) - 150.0f * s;
            const float b = std::hypot(px - width * 0.66f, py - height * 0.58f) - 120.0f * s;
            const float qx = std::max(std::fabs(px - width * 0.5f) - 150.0f * s, 0.0f);
            const float qy = std::max(std::fabs(py - height * 0.52f) - 40.0f * s, 0.0f);
            const float bar = std::hypot(qx, qy) - 30.0f * s;
            const float alpha = Coverage(std::min({a, b, bar}));
            matte.set_normalized(x, y, {alpha, 1.0f, 1.0f, 1.0f});
        }
    }
    return matte;
}

HostImage MakeContactSheet(const std::vector<HostImage> &images, int columns, int shrink, int gap)
{
    int32_t cell_w = 0;
    int32_t cell_h = 0;
    for (const HostImage &image : images) {
        cell_w = std::max(cell_w, image.width() / shrink);
        cell_h = std::max(cell_h, image.height() / shrink);
    }
    const int count = static_cast<int>(images.size());
    const int rows = (count + columns - 1) / columns;
    const int used_columns = std::min(columns, count);
    HostImage sheet(used_columns * cell_w + (used_columns + 1) * gap, rows * cell_h + (rows + 1) * gap, 8);
    for (int32_t y = 0; y < sheet.height(); ++y) {
        for (int32_t x = 0; x < sheet.width(); ++x) {
            sheet.set_normalized(x, y, {1.0f, 0.12f, 0.12f, 0.12f});
        }
    }
    const float weight = 1.0f / static_cast<float>(shrink * shrink);
    for (int i = 0; i < count; ++i) {
        const HostImage &image = images[i];
        const int32_t left = gap + (i % columns) * (cell_w + gap);
        const int32_t top = gap + (i / columns) * (cell_h + gap);
        for (int32_t y = 0; y < image.height() / shrink; ++y) {
            for (int32_t x = 0; x < image.width() / shrink; ++x) {
                std::array<float, 4> sum{};
                for (int32_t sy = 0; sy < shrink; ++sy) {
                    for (int32_t sx = 0; sx < shrink; ++sx) {
                        const std::array<float, 4> v = image.normalized(x * shrink + sx, y * shrink + sy);
                        for (int c = 0; c < 4; ++c) {
                            sum[c] += Clamp01(v[c]) * weight;
                        }
                    }
                }
                // Shown over the background as the alpha says, opaque on the sheet.
                const std::array<float, 4> bg = sheet.normalized(left + x, top + y);
                std::array<float, 4> out = {1.0f, 0.0f, 0.0f, 0.0f};
                for (int c = 1; c < 4; ++c) {
                    out[c] = sum[c] * sum[0] + bg[c] * (1.0f - sum[0]);
                }
                sheet.set_normalized(left + x, top + y, out);
            }
        }
    }
    return sheet;
}

} // namespace prismora::cli
