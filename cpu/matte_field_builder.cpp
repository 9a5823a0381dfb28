#include "cpu/matte_field_builder.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <utility>

#include "cpu/float_lanes.h"
#include "cpu/scratch_vector.h"
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
// Rows [row_begin, row_end) of `dist`, which holds the whole grid.
void SeedDistanceRows(const ScratchVector<uint8_t> &mask, const CellGrid &grid, A_long row_begin, A_long row_end,
                      float *dist)
{
    for (A_long j = row_begin; j < row_end; ++j) {
        for (A_long i = 0; i < grid.width; ++i) {
            const std::size_t c = grid.At(i, j);
            if (mask[c] == 0) {
                dist[c] = kOutside;
            } else if (i == 0 || j == 0 || i == grid.width - 1 || j == grid.height - 1 ||
                       mask[grid.At(i - 1, j)] == 0 || mask[grid.At(i + 1, j)] == 0 ||
                       mask[grid.At(i, j - 1)] == 0 || mask[grid.At(i, j + 1)] == 0) {
                dist[c] = 0.0f;
            } else {
                dist[c] = kUnreached;
            }
        }
    }
}

// A neighbour's distance plus the step, or kUnreached (which never lowers a
// cell: none starts above it) when the neighbour is outside. The sum is taken
// either way so that the loops below stay free of branches.
inline float Offer(float neighbour, uint8_t neighbour_inside, float step)
{
    const float candidate = neighbour + step;
    return neighbour_inside != 0 ? candidate : kUnreached;
}

inline float Lower(float d, float candidate)
{
    return candidate < d ? candidate : d;
}

#if defined(PRISMORA_FLOAT_LANES)
// The lanes whose mask byte is not 0, for four consecutive cells.
inline LaneMask InsideLanes(const uint8_t *mask)
{
    int32_t bytes;
    std::memcpy(&bytes, mask, sizeof bytes);
    const __m128i zero = _mm_setzero_si128();
    const __m128i words = _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(bytes), zero), zero);
    return !LaneMask{_mm_castsi128_ps(_mm_cmpeq_epi32(words, zero))};
}
#endif

// Lowers each inside cell of `row` to a neighbour's distance plus the step:
// first the three neighbours on the row the pass has finished (`previous`, null
// on the pass's first row), cell by cell, then the neighbour before it along
// the row, whose own distance is final by then. The result is the smallest of
// the same candidates the cell-by-cell reading takes, and the same value in any
// order: they are finite and never -0.
void RelaxRow(float *row, const uint8_t *mask, const float *previous, const uint8_t *previous_mask,
              A_long width, bool rightwards)
{
    if (previous != nullptr) {
        // The rim cells lack a diagonal; the cells between have both and
        // are taken four at a time (MinF(c, d) is Lower(d, c)).
        const auto relax_from_previous = [&](A_long i, bool has_left, bool has_right) {
            float d = row[i];
            d = Lower(d, Offer(previous[i], previous_mask[i], kOrthogonalStep));
            d = has_left ? Lower(d, Offer(previous[i - 1], previous_mask[i - 1], kDiagonalStep)) : d;
            d = has_right ? Lower(d, Offer(previous[i + 1], previous_mask[i + 1], kDiagonalStep)) : d;
            row[i] = mask[i] != 0 ? d : row[i];
        };
        relax_from_previous(0, false, width > 1);
        A_long i = 1;
#if defined(PRISMORA_FLOAT_LANES)
        for (; i + kLanes < width; i += kLanes) {
            const FloatLanes before = FloatLanes::Load(row + i);
            FloatLanes d = before;
            d = MinF(Select(InsideLanes(previous_mask + i), FloatLanes::Load(previous + i) + kOrthogonalStep,
                            kUnreached),
                     d);
            d = MinF(Select(InsideLanes(previous_mask + i - 1),
                            FloatLanes::Load(previous + i - 1) + kDiagonalStep, kUnreached),
                     d);
            d = MinF(Select(InsideLanes(previous_mask + i + 1),
                            FloatLanes::Load(previous + i + 1) + kDiagonalStep, kUnreached),
                     d);
            Select(InsideLanes(mask + i), d, before).Store(row + i);
        }
#endif
        for (; i + 1 < width; ++i) {
            relax_from_previous(i, true, true);
        }
        if (width > 1) {
            relax_from_previous(width - 1, true, false);
        }
    }
    // Along the row each cell depends on the one before: the last distance and
    // mask ride in registers from cell to cell.
    const auto along = [&](A_long first, A_long step, A_long count) {
        float before = row[first];
        uint8_t before_inside = mask[first];
        for (A_long n = 1, i = first + step; n < count; ++n, i += step) {
            const uint8_t inside = mask[i];
            const float offered = Offer(before, before_inside, kOrthogonalStep);
            const float d = inside != 0 ? Lower(row[i], offered) : row[i];
            row[i] = d;
            before = d;
            before_inside = inside;
        }
    };
    if (rightwards) {
        along(0, 1, width);
    } else {
        along(width - 1, -1, width);
    }
}

// Chamfer distance (orthogonal step 1, diagonal 1.4142135) from each inside
// cell (mask 1) to the shape's boundary, whose cells are 0; -1 at outside
// cells. Two passes in place, down then up: each cell sees the neighbours
// already visited in its pass (before it on its row, and on the row before).
// The passes are serial by nature; the seeds are spread over the threads.
PF_Err ChamferDistance(const ScratchVector<uint8_t> &mask, const CellGrid &grid, const HostThreads &threads,
                       ScratchVector<float> &dist)
{
    dist.resize(grid.Count());
    const PF_Err err = threads.ForEachBand(
        grid.height, [&](A_long begin, A_long end) { SeedDistanceRows(mask, grid, begin, end, dist.data()); });
    if (err != PF_Err_NONE) {
        return err;
    }
    const auto row_of = [&](A_long j) { return dist.data() + grid.At(0, j); };
    const auto mask_of = [&](A_long j) { return mask.data() + grid.At(0, j); };
    const A_long height = grid.height;
    for (A_long j = 0; j < height; ++j) {
        RelaxRow(row_of(j), mask_of(j), j > 0 ? row_of(j - 1) : nullptr, j > 0 ? mask_of(j - 1) : nullptr,
                 grid.width, true);
    }
    for (A_long j = height - 1; j >= 0; --j) {
        RelaxRow(row_of(j), mask_of(j), j < height - 1 ? row_of(j + 1) : nullptr,
                 j < height - 1 ? mask_of(j + 1) : nullptr, grid.width, false);
    }
    return PF_Err_NONE;
}

// Each inside cell becomes the weighted mean of itself (weight 2) and its
// inside neighbours among the eight (weight 1); outside cells keep their value.
void SmoothDistanceRows(const ScratchVector<uint8_t> &mask, const ScratchVector<float> &distance,
                        const CellGrid &grid, A_long row_begin, A_long row_end, std::vector<float> &smoothed)
{
    const A_long width = grid.width;
    const A_long height = grid.height;
    for (A_long j = row_begin; j < row_end; ++j) {
        for (A_long i = 0; i < width; ++i) {
            const std::size_t c = grid.At(i, j);
            if (mask[c] == 0) {
                smoothed[c] = distance[c];
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
            // A row's first visible pixel from the left and its last from the
            // right: the pixels between them cannot move the bounds.
            const Pixel *row = WorldPixelAt<Pixel>(world, 0, y);
            A_long first = 0;
            while (first < world.width && !(alpha_at(row, first) > kVisibleAlpha)) {
                ++first;
            }
            if (first == world.width) {
                continue;
            }
            A_long last = world.width - 1;
            while (!(alpha_at(row, last) > kVisibleAlpha)) {
                --last;
            }
            band_min_x = first < band_min_x ? first : band_min_x;
            band_max_x = last > band_max_x ? last : band_max_x;
            band_min_y = y < band_min_y ? y : band_min_y;
            band_max_y = y;
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
    ScratchVector<uint8_t> mask(grid.Count());
    built.alpha.resize(grid.Count());
    err = threads.ForEachBand(grid.height, [&](A_long begin, A_long end) {
        for (A_long j = begin; j < end; ++j) {
            const Pixel *row = WorldPixelAt<Pixel>(world, x0, y0 + j);
            float *alpha = built.alpha.data() + grid.At(0, j);
            uint8_t *inside = mask.data() + grid.At(0, j);
            for (A_long i = 0; i < grid.width; ++i) {
                const float a = alpha_at(row, i);
                alpha[i] = a;
                inside[i] = a >= kInsideAlpha ? 1 : 0;
            }
        }
    });
    if (err != PF_Err_NONE) {
        return err;
    }

    ScratchVector<float> distance;
    err = ChamferDistance(mask, grid, threads, distance);
    if (err != PF_Err_NONE) {
        return err;
    }
    built.distance.resize(grid.Count());
    err = threads.ForEachBand(grid.height, [&](A_long begin, A_long end) {
        SmoothDistanceRows(mask, distance, grid, begin, end, built.distance);
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
