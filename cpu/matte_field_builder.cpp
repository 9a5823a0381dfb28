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

// Lowers each inside cell of `row` to a neighbour's distance plus the step:
// first the three neighbours on the row the pass has finished (`previous`, null
// on the pass's first row), cell by cell, then the neighbour before it along
// the row, whose own distance is final by then. The result is the smallest of
// the same candidates the cell-by-cell reading takes, and the same value in any
// order: they are finite and never -0. An outside neighbour offers kUnreached,
// which never lowers a cell (none starts above it).
void RelaxRow(float *row, const uint8_t *mask, const float *previous, const uint8_t *previous_mask,
              A_long width, bool rightwards)
{
    if (previous != nullptr) {
        for (A_long i = 0; i < width; ++i) {
            const float straight = previous_mask[i] != 0 ? previous[i] + kOrthogonalStep : kUnreached;
            const float left =
                i > 0 && previous_mask[i - 1] != 0 ? previous[i - 1] + kDiagonalStep : kUnreached;
            const float right =
                i + 1 < width && previous_mask[i + 1] != 0 ? previous[i + 1] + kDiagonalStep : kUnreached;
            float d = row[i];
            d = straight < d ? straight : d;
            d = left < d ? left : d;
            d = right < d ? right : d;
            row[i] = mask[i] != 0 ? d : row[i];
        }
    }
    const auto along = [&](A_long i, A_long before) {
        if (mask[i] != 0 && mask[before] != 0) {
            const float candidate = row[before] + kOrthogonalStep;
            row[i] = candidate < row[i] ? candidate : row[i];
        }
    };
    if (rightwards) {
        for (A_long i = 1; i < width; ++i) {
            along(i, i - 1);
        }
    } else {
        for (A_long i = width - 2; i >= 0; --i) {
            along(i, i + 1);
        }
    }
}

} // namespace

std::vector<float> ChamferDistance(const std::vector<uint8_t> &mask, A_long width, A_long height)
{
    const CellGrid grid{width, height};
    std::vector<float> dist = SeedDistance(mask, grid);
    if (width < 1 || height < 1) {
        return dist;
    }
    // Two passes in place, down then up: each cell sees the neighbours already
    // visited in its pass (before it on its row, and on the row before).
    const auto row_of = [&](A_long j) { return dist.data() + grid.At(0, j); };
    const auto mask_of = [&](A_long j) { return mask.data() + grid.At(0, j); };
    for (A_long j = 0; j < height; ++j) {
        RelaxRow(row_of(j), mask_of(j), j > 0 ? row_of(j - 1) : nullptr, j > 0 ? mask_of(j - 1) : nullptr,
                 width, true);
    }
    for (A_long j = height - 1; j >= 0; --j) {
        RelaxRow(row_of(j), mask_of(j), j < height - 1 ? row_of(j + 1) : nullptr,
                 j < height - 1 ? mask_of(j + 1) : nullptr, width, false);
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
