#include "cpu/matte_field_builder.h"

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <utility>

#include "cpu/matte_chamfer.h"
#include "model/float_image.h"
#include "model/pixel_traits.h"

namespace prismora {

namespace {

constexpr float kVisibleAlpha = 0.003f; // strictly greater counts as visible
constexpr float kInsideAlpha = 0.5f;    // greater or equal counts as inside
constexpr A_long kGridMargin = 2;
constexpr float kUnreached = 100000000.0f;
constexpr float kOutside = -1.0f;
constexpr float kOrthogonalStep = 1.0f;
constexpr float kDiagonalStep = 1.4142135f;

// Row-major cell addressing; size_t so that large grids cannot overflow.
struct CellGrid {
    A_long width;
    A_long height;
    std::size_t At(A_long i, A_long j) const
    {
        return static_cast<std::size_t>(j) * static_cast<std::size_t>(width) + static_cast<std::size_t>(i);
    }
    std::size_t Count() const { return static_cast<std::size_t>(width) * static_cast<std::size_t>(height); }
};

// Boundary cells are the seeds: on the grid's rim or next to an outside cell.
std::vector<float> SeedDistance(const std::vector<uint8_t> &mask, const CellGrid &grid)
{
    std::vector<float> dist(grid.Count(), kUnreached);
    for (A_long j = 0; j < grid.height; ++j) {
        for (A_long i = 0; i < grid.width; ++i) {
            const std::size_t c = grid.At(i, j);
            if (mask[c] == 0) {
                dist[c] = kOutside;
            } else if (i == 0 || j == 0 || i == grid.width - 1 || j == grid.height - 1 ||
                       mask[grid.At(i - 1, j)] == 0 || mask[grid.At(i + 1, j)] == 0 ||
                       mask[grid.At(i, j - 1)] == 0 || mask[grid.At(i, j + 1)] == 0) {
                dist[c] = 0.0f;
            }
        }
    }
    return dist;
}

// Lowers d to dist(i, j) + step when that cell is inside the grid and the shape.
void Relax(float &d, const std::vector<uint8_t> &mask, const std::vector<float> &dist, const CellGrid &grid,
           A_long i, A_long j, float step)
{
    if (i < 0 || j < 0 || i >= grid.width || j >= grid.height) {
        return;
    }
    const std::size_t n = grid.At(i, j);
    if (mask[n] == 0) {
        return;
    }
    const float candidate = dist[n] + step;
    if (candidate < d) {
        d = candidate;
    }
}

} // namespace

std::vector<float> ChamferDistance(const std::vector<uint8_t> &mask, A_long width, A_long height)
{
    const CellGrid grid{width, height};
    std::vector<float> dist = SeedDistance(mask, grid);

    // Two passes in place: each cell sees the neighbours already visited in its
    // pass. Away from the grid's rim every neighbour exists, so those cells skip
    // the bounds tests; the relaxations run in the same order either way.
    // Written without branches: an outside neighbour offers kUnreached, which
    // never lowers d (no cell starts above it), and the smaller of two finite
    // floats is the same value whichever way it is picked.
    const auto relax_inner = [&](float &d, std::size_t n, float step) {
        const float candidate = mask[n] != 0 ? dist[n] + step : kUnreached;
        d = candidate < d ? candidate : d;
    };
    const auto w = static_cast<std::size_t>(width);
    for (A_long j = 0; j < height; ++j) {
        for (A_long i = 0; i < width; ++i) {
            const std::size_t c = grid.At(i, j);
            if (mask[c] == 0) {
                continue;
            }
            float d = dist[c];
            if (j > 0 && i > 0 && i < width - 1) {
                relax_inner(d, c - 1, kOrthogonalStep);
                relax_inner(d, c - w, kOrthogonalStep);
                relax_inner(d, c - w - 1, kDiagonalStep);
                relax_inner(d, c - w + 1, kDiagonalStep);
            } else {
                Relax(d, mask, dist, grid, i - 1, j, kOrthogonalStep);
                Relax(d, mask, dist, grid, i, j - 1, kOrthogonalStep);
                Relax(d, mask, dist, grid, i - 1, j - 1, kDiagonalStep);
                Relax(d, mask, dist, grid, i + 1, j - 1, kDiagonalStep);
            }
            dist[c] = d;
        }
    }
    for (A_long j = height - 1; j >= 0; --j) {
        for (A_long i = width - 1; i >= 0; --i) {
            const std::size_t c = grid.At(i, j);
            if (mask[c] == 0) {
                continue;
            }
            float d = dist[c];
            if (j < height - 1 && i > 0 && i < width - 1) {
                relax_inner(d, c + 1, kOrthogonalStep);
                relax_inner(d, c + w, kOrthogonalStep);
                relax_inner(d, c + w + 1, kDiagonalStep);
                relax_inner(d, c + w - 1, kDiagonalStep);
            } else {
                Relax(d, mask, dist, grid, i + 1, j, kOrthogonalStep);
                Relax(d, mask, dist, grid, i, j + 1, kOrthogonalStep);
                Relax(d, mask, dist, grid, i + 1, j + 1, kDiagonalStep);
                Relax(d, mask, dist, grid, i - 1, j + 1, kDiagonalStep);
            }
            dist[c] = d;
        }
    }
    return dist;
}

namespace {

void SmoothDistanceRows(const std::vector<uint8_t> &mask, const std::vector<float> &distance, A_long width,
                        A_long height, A_long row_begin, A_long row_end, std::vector<float> &smoothed)
{
    const CellGrid grid{width, height};
    for (A_long j = row_begin; j < row_end; ++j) {
        for (A_long i = 0; i < width; ++i) {
            const std::size_t c = grid.At(i, j);
            if (mask[c] == 0) {
                continue;
            }
            float sum = 2.0f * distance[c];
            float weight = 2.0f;
            for (A_long nj = j - 1; nj <= j + 1; ++nj) {
                for (A_long ni = i - 1; ni <= i + 1; ++ni) {
                    if ((ni == i && nj == j) || ni < 0 || nj < 0 || ni >= width || nj >= height) {
                        continue;
                    }
                    const std::size_t n = grid.At(ni, nj);
                    if (mask[n] != 0) {
                        sum += distance[n];
                        weight += 1.0f;
                    }
                }
            }
            smoothed[c] = sum / (weight > 1.0f ? weight : 1.0f);
        }
    }
}

} // namespace

std::vector<float> SmoothDistance(const std::vector<uint8_t> &mask, const std::vector<float> &distance,
                                  A_long width, A_long height)
{
    std::vector<float> smoothed = distance;
    SmoothDistanceRows(mask, distance, width, height, 0, height, smoothed);
    return smoothed;
}

template <typename Pixel>
PF_Err BuildMatteField(const PF_EffectWorld &world, MatteField &field, const HostThreads &threads)
{
    field = MatteField{};
    if (world.data == nullptr || world.width < 1 || world.height < 1) {
        return PF_Err_NONE;
    }
    const auto alpha_at = [](const Pixel *row, A_long x) {
        return ClampUnit(PixelTraits<Pixel>::ToFloat(row[x].alpha));
    };

    // The visible pixels' bounds, band by band: a minimum and a maximum do not
    // depend on the order the bands finish in.
    A_long min_x = world.width;
    A_long min_y = world.height;
    A_long max_x = -1;
    A_long max_y = -1;
    std::mutex bounds_mutex;
    PF_Err err = threads.ForEachBand(world.height, [&](A_long begin, A_long end) {
        A_long band_min_x = world.width;
        A_long band_min_y = world.height;
        A_long band_max_x = -1;
        A_long band_max_y = -1;
        for (A_long y = begin; y < end; ++y) {
            const Pixel *row = WorldPixelAt<Pixel>(world, 0, y);
            for (A_long x = 0; x < world.width; ++x) {
                if (alpha_at(row, x) > kVisibleAlpha) {
                    band_min_x = x < band_min_x ? x : band_min_x;
                    band_min_y = y < band_min_y ? y : band_min_y;
                    band_max_x = x > band_max_x ? x : band_max_x;
                    band_max_y = y > band_max_y ? y : band_max_y;
                }
            }
        }
        const std::lock_guard<std::mutex> lock(bounds_mutex);
        min_x = band_min_x < min_x ? band_min_x : min_x;
        min_y = band_min_y < min_y ? band_min_y : min_y;
        max_x = band_max_x > max_x ? band_max_x : max_x;
        max_y = band_max_y > max_y ? band_max_y : max_y;
    });
    if (err != PF_Err_NONE || max_x < min_x || max_y < min_y) {
        return err;
    }

    // The margin is cut at the world's edges; compared before adding so that a
    // world as wide as A_long allows cannot overflow.
    const A_long x0 = min_x > kGridMargin ? min_x - kGridMargin : 0;
    const A_long y0 = min_y > kGridMargin ? min_y - kGridMargin : 0;
    const A_long x1 = max_x < world.width - 1 - kGridMargin ? max_x + kGridMargin : world.width - 1;
    const A_long y1 = max_y < world.height - 1 - kGridMargin ? max_y + kGridMargin : world.height - 1;

    MatteField built;
    built.grid_x = world.origin_x + x0;
    built.grid_y = world.origin_y + y0;
    built.grid_width = x1 - x0 + 1;
    built.grid_height = y1 - y0 + 1;
    if (built.grid_width < 1 || built.grid_height < 1) {
        return PF_Err_NONE;
    }

    built.left = static_cast<float>(min_x + world.origin_x);
    built.top = static_cast<float>(min_y + world.origin_y);
    built.right = static_cast<float>(world.origin_x + 1 + max_x);
    built.bottom = static_cast<float>(world.origin_y + 1 + max_y);
    built.center_x = (built.right + built.left) * 0.5f;
    built.center_y = (built.bottom + built.top) * 0.5f;
    const float span_x = built.right - built.left;
    const float span_y = built.bottom - built.top;
    built.width = span_x > 1.0f ? span_x : 1.0f;
    built.height = span_y > 1.0f ? span_y : 1.0f;

    const CellGrid grid{built.grid_width, built.grid_height};
    std::vector<uint8_t> mask(grid.Count(), 0);
    built.alpha.assign(grid.Count(), 0.0f);
    err = threads.ForEachBand(grid.height, [&](A_long begin, A_long end) {
        for (A_long j = begin; j < end; ++j) {
            const Pixel *row = WorldPixelAt<Pixel>(world, x0, y0 + j);
            for (A_long i = 0; i < grid.width; ++i) {
                const float a = alpha_at(row, i);
                built.alpha[grid.At(i, j)] = a;
                if (a >= kInsideAlpha) {
                    mask[grid.At(i, j)] = 1;
                }
            }
        }
    });
    if (err != PF_Err_NONE) {
        return err;
    }

    const std::vector<float> distance = ChamferDistance(mask, grid.width, grid.height);
    built.distance = distance;
    err = threads.ForEachBand(grid.height, [&](A_long begin, A_long end) {
        SmoothDistanceRows(mask, distance, grid.width, grid.height, begin, end, built.distance);
    });
    if (err != PF_Err_NONE) {
        return err;
    }
    built.valid = true;
    field = std::move(built);
    return PF_Err_NONE;
}

template <typename Pixel> bool BuildMatteField(const PF_EffectWorld &world, MatteField &field)
{
    const HostThreads serial;
    return BuildMatteField<Pixel>(world, field, serial) == PF_Err_NONE && field.valid;
}

#define PRISMORA_BUILD_MATTE_FIELD(Pixel)                                                                    \
    template PF_Err BuildMatteField<Pixel>(const PF_EffectWorld &, MatteField &, const HostThreads &);       \
    template bool BuildMatteField<Pixel>(const PF_EffectWorld &, MatteField &);
PRISMORA_BUILD_MATTE_FIELD(PF_Pixel8)
PRISMORA_BUILD_MATTE_FIELD(PF_Pixel16)
PRISMORA_BUILD_MATTE_FIELD(PF_PixelFloat)
#undef PRISMORA_BUILD_MATTE_FIELD

} // namespace prismora
