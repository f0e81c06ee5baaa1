#include "platform/filters/ColorTableKernels.h"

#include <algorithm>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define TINTREEL_X86_KERNELS 1
#endif

namespace tintreel {
namespace {

using Node = ColorTable::Node;

// Tetrahedral interpolation in the grid cell at `base`: the cube is cut into
// six tetrahedra along its main diagonal and the one holding the point is
// chosen by the order of the three fractions. The order is found with
// selects rather than branches: on real pictures it changes from pixel to
// pixel, and a mispredicted branch costs more than the cell's arithmetic.
// The three channels of a node are one vector, so each corner costs one
// load and one multiply-add.
Node tetrahedral(const Node* grid, std::uint32_t base, const std::uint32_t step[3], const float d[3]) {
    float hi = d[0], mid = d[1], lo = d[2];
    std::uint32_t stepHi = step[0], stepMid = step[1], stepLo = step[2];
    const auto order = [](float& a, std::uint32_t& sa, float& b, std::uint32_t& sb) {
        const bool swap = b > a;
        const float big = swap ? b : a, small = swap ? a : b;
        const std::uint32_t bigStep = swap ? sb : sa, smallStep = swap ? sa : sb;
        a = big, b = small, sa = bigStep, sb = smallStep;
    };
    order(hi, stepHi, mid, stepMid);
    order(mid, stepMid, lo, stepLo);
    order(hi, stepHi, mid, stepMid);
    const std::uint32_t first = base + stepHi, second = first + stepMid;
    return grid[base] * (1 - hi) + grid[first] * (hi - mid) + grid[second] * (mid - lo) +
           grid[second + stepLo] * lo;
}

// `level` mixed towards `target` (in [0, 1]) by `strength`, to the nearest level.
std::uint8_t mixed(std::uint8_t level, float target, float strength) {
    const float value = level + (target * 255.0f - level) * strength;
    return static_cast<std::uint8_t>(std::clamp(value, 0.0f, 255.0f) + 0.5f);
}

using Lanes = std::int32_t __attribute__((vector_size(16)));

// The pixel's three levels mixed towards `target` (in levels) by
// `strength`, to the nearest level; at full strength the target is taken as
// it is.
void storeMixed(const std::uint8_t* in, std::uint8_t* out, Node target, float strength) {
    const Node level{static_cast<float>(in[0]), static_cast<float>(in[1]), static_cast<float>(in[2]), 0.0f};
    const Node zero{}, top = zero + 255.0f;
    Node value = strength == 1.0f ? target : level + (target - level) * strength;
    value = value < zero ? zero : value;
    value = value > top ? top : value;
    const Lanes rounded = __builtin_convertvector(value + 0.5f, Lanes);
    out[0] = static_cast<std::uint8_t>(rounded[0]);
    out[1] = static_cast<std::uint8_t>(rounded[1]);
    out[2] = static_cast<std::uint8_t>(rounded[2]);
    out[3] = in[3];
}

void applyGridRow(const ColorTable& table, const std::uint8_t* in, std::uint8_t* out, int width,
                  float strength) {
    const auto& places = table.places();
    const Node* grid = table.nodes();
    for (int x = 0; x < width; ++x, in += Image::kChannels, out += Image::kChannels) {
        const std::uint8_t r = in[0], g = in[1], b = in[2];
        const std::uint32_t base = places[0].below[r] + places[1].below[g] + places[2].below[b];
        const std::uint32_t step[3] = {places[0].step[r], places[1].step[g], places[2].step[b]};
        const float d[3] = {places[0].fraction[r], places[1].fraction[g], places[2].fraction[b]};
        storeMixed(in, out, tetrahedral(grid, base, step, d), strength);
    }
}

#ifdef TINTREEL_X86_KERNELS
// The same arithmetic, in the same order, on eight pixels at once with AVX2:
// the places and the tetrahedron's order for all eight side by side, then
// two pixels per register for the corners, each node one 128-bit load. The
// picture is the one applyGridRow makes, bit for bit; the row's last few
// pixels go through it.
__attribute__((target("avx2"))) inline void orderPair(__m256& a, __m256i& stepA, __m256& b, __m256i& stepB) {
    const __m256 swap = _mm256_cmp_ps(b, a, _CMP_GT_OQ);
    const __m256i swapLanes = _mm256_castps_si256(swap);
    const __m256 big = _mm256_blendv_ps(a, b, swap), small = _mm256_blendv_ps(b, a, swap);
    const __m256i bigStep = _mm256_blendv_epi8(stepA, stepB, swapLanes);
    const __m256i smallStep = _mm256_blendv_epi8(stepB, stepA, swapLanes);
    a = big, b = small, stepA = bigStep, stepB = smallStep;
}

__attribute__((target("avx2"))) inline __m256i gatherLevels(const std::array<std::uint32_t, 256>& values,
                                                            __m256i levels) {
    return _mm256_i32gather_epi32(reinterpret_cast<const int*>(values.data()), levels, 4);
}

// Each channel's grid places for eight levels. A table whose curves are the
// plain levels (every 3D table without a shaper) has its places worked out
// here with the constructor's own float arithmetic, which gives the same
// bits as its tables without the nine gathers that looking them up takes;
// other tables look them up.
struct WidePlaces {
    __m256i base;
    __m256i step[3];
    __m256 fraction[3];
};

__attribute__((target("avx2"))) inline WidePlaces lookedUpPlaces(const ColorTable& table,
                                                                 const __m256i level[3]) {
    const auto& places = table.places();
    WidePlaces p{_mm256_setzero_si256(), {}, {}};
    for (int c = 0; c < 3; ++c) {
        p.base = _mm256_add_epi32(p.base, gatherLevels(places[c].below, level[c]));
        p.step[c] = gatherLevels(places[c].step, level[c]);
        p.fraction[c] = _mm256_i32gather_ps(places[c].fraction.data(), level[c], 4);
    }
    return p;
}

// level / 255 for the levels 0 ... 255, rounded exactly as the division
// rounds (one correction step after multiplying by the reciprocal; checked
// for every level), at a fraction of a division's cost.
__attribute__((target("avx2,fma"))) inline __m256 dividedBy255(__m256 level) {
    const __m256 divisor = _mm256_set1_ps(255.0f), reciprocal = _mm256_set1_ps(1.0f / 255.0f);
    const __m256 guess = _mm256_mul_ps(level, reciprocal);
    const __m256 residue = _mm256_fnmadd_ps(guess, divisor, level);
    return _mm256_fmadd_ps(residue, reciprocal, guess);
}

__attribute__((target("avx2,fma"))) inline WidePlaces evenPlaces(const ColorTable& table,
                                                                 const __m256i level[3]) {
    const int n = table.gridSize();
    const __m256 top = _mm256_set1_ps(static_cast<float>(n - 1));
    const __m256i last = _mm256_set1_epi32(n - 1);
    WidePlaces p{_mm256_setzero_si256(), {}, {}};
    int stride = 1;
    for (int c = 0; c < 3; ++c, stride *= n) {
        const __m256 position = _mm256_mul_ps(dividedBy255(_mm256_cvtepi32_ps(level[c])), top);
        const __m256 below = _mm256_floor_ps(position);
        const __m256i index = _mm256_cvttps_epi32(below);
        const __m256i strides = _mm256_set1_epi32(stride);
        p.base = _mm256_add_epi32(p.base, _mm256_mullo_epi32(index, strides));
        p.step[c] = _mm256_and_si256(_mm256_cmpgt_epi32(last, index), strides);
        p.fraction[c] = _mm256_sub_ps(position, below);
    }
    return p;
}

// The node at a byte offset into the grid.
inline const float* nodeAt(const char* grid, std::uint32_t offset) {
    return reinterpret_cast<const float*>(grid + offset);
}

template <bool kEvenPlaces>
__attribute__((target("avx2,fma"))) void applyGridRow8(const ColorTable& table, const std::uint8_t* in,
                                                       std::uint8_t* out, int width, float strength) {
    const char* grid = reinterpret_cast<const char*>(table.nodes());
    const __m256i byte = _mm256_set1_epi32(0xff);
    const __m256 one = _mm256_set1_ps(1.0f), top = _mm256_set1_ps(255.0f), zero = _mm256_setzero_ps(),
                 half = _mm256_set1_ps(0.5f), mix = _mm256_set1_ps(strength);
    const bool full = strength == 1.0f;
    int x = 0;
    for (; x + 8 <= width; x += 8) {
        const __m256i pixels =
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + Image::kChannels * x));
        const __m256i level[3] = {_mm256_and_si256(pixels, byte),
                                  _mm256_and_si256(_mm256_srli_epi32(pixels, 8), byte),
                                  _mm256_and_si256(_mm256_srli_epi32(pixels, 16), byte)};
        WidePlaces p = kEvenPlaces ? evenPlaces(table, level) : lookedUpPlaces(table, level);
        __m256i* step = p.step;
        __m256* d = p.fraction;
        orderPair(d[0], step[0], d[1], step[1]);
        orderPair(d[1], step[1], d[2], step[2]);
        orderPair(d[0], step[0], d[1], step[1]);
        const __m256i base = p.base;
        const __m256i first = _mm256_add_epi32(base, step[0]), second = _mm256_add_epi32(first, step[1]);
        // Byte offsets of the corners: a node is sixteen bytes.
        alignas(32) std::uint32_t corner[4][8];
        _mm256_store_si256(reinterpret_cast<__m256i*>(corner[0]), _mm256_slli_epi32(base, 4));
        _mm256_store_si256(reinterpret_cast<__m256i*>(corner[1]), _mm256_slli_epi32(first, 4));
        _mm256_store_si256(reinterpret_cast<__m256i*>(corner[2]), _mm256_slli_epi32(second, 4));
        _mm256_store_si256(reinterpret_cast<__m256i*>(corner[3]),
                           _mm256_slli_epi32(_mm256_add_epi32(second, step[2]), 4));
        // Read the corners back from memory: plain loads are cheaper than
        // extracting 32 lanes from registers, which the compiler would do.
        asm("" : "+m"(corner));
        const __m256 weight[4] = {_mm256_sub_ps(one, d[0]), _mm256_sub_ps(d[0], d[1]),
                                  _mm256_sub_ps(d[1], d[2]), d[2]};
        __m256i rounded[4];
        for (int pair = 0; pair < 4; ++pair) {
            const int a = 2 * pair, b = a + 1;
            const __m256i spread = _mm256_setr_epi32(a, a, a, a, b, b, b, b);
            __m256 target{};
            for (int k = 0; k < 4; ++k) {
                const __m256 nodes =
                    _mm256_loadu2_m128(nodeAt(grid, corner[k][b]), nodeAt(grid, corner[k][a]));
                const __m256 term = _mm256_mul_ps(nodes, _mm256_permutevar8x32_ps(weight[k], spread));
                target = k == 0 ? term : _mm256_add_ps(target, term);
            }
            const __m128i twoPixels =
                _mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + Image::kChannels * (x + a)));
            const __m256 own = _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(twoPixels));
            __m256 value = full ? target : _mm256_add_ps(own, _mm256_mul_ps(_mm256_sub_ps(target, own), mix));
            value = _mm256_min_ps(_mm256_max_ps(value, zero), top);
            rounded[pair] = _mm256_cvttps_epi32(_mm256_add_ps(value, half));
        }
        // Packing works within each half: the bytes come out as pixels
        // 0 2 4 6 | 1 3 5 7, and one permute puts them in order.
        const __m256i bytes = _mm256_packus_epi16(_mm256_packs_epi32(rounded[0], rounded[1]),
                                                  _mm256_packs_epi32(rounded[2], rounded[3]));
        const __m256i ordered = _mm256_permutevar8x32_epi32(bytes, _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7));
        const __m256i alpha = _mm256_set1_epi32(static_cast<int>(0xff000000u));
        const __m256i result = _mm256_blendv_epi8(ordered, pixels, alpha);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + Image::kChannels * x), result);
    }
    if (x < width)
        applyGridRow(table, in + Image::kChannels * x, out + Image::kChannels * x, width - x, strength);
}

// The same once more, sixteen pixels at a time with AVX-512: the places and
// the tetrahedron's order for sixteen pixels in one pass, then four pixels
// per register for the corners (one pixel in each 128-bit lane, a node per
// lane), so each pixel comes out as four bytes in order.
#define TINTREEL_AVX512 __attribute__((target("avx512f,avx512bw,avx512vl,avx512dq,fma")))
// GCC 12 warns inside its own AVX-512 headers about the undefined lanes its
// intrinsics start from; nothing here reads such a lane.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

struct WidePlaces16 {
    __m512i base;
    __m512i step[3];
    __m512 fraction[3];
};

TINTREEL_AVX512 inline WidePlaces16 lookedUpPlaces16(const ColorTable& table, const __m512i level[3]) {
    const auto& places = table.places();
    WidePlaces16 p{_mm512_setzero_si512(), {}, {}};
    for (int c = 0; c < 3; ++c) {
        p.base = _mm512_add_epi32(p.base, _mm512_i32gather_epi32(level[c], places[c].below.data(), 4));
        p.step[c] = _mm512_i32gather_epi32(level[c], places[c].step.data(), 4);
        p.fraction[c] = _mm512_i32gather_ps(level[c], places[c].fraction.data(), 4);
    }
    return p;
}

TINTREEL_AVX512 inline WidePlaces16 evenPlaces16(const ColorTable& table, const __m512i level[3]) {
    const int n = table.gridSize();
    const __m512 top = _mm512_set1_ps(static_cast<float>(n - 1)), divisor = _mm512_set1_ps(255.0f),
                 reciprocal = _mm512_set1_ps(1.0f / 255.0f);
    const __m512i last = _mm512_set1_epi32(n - 1);
    WidePlaces16 p{_mm512_setzero_si512(), {}, {}};
    int stride = 1;
    for (int c = 0; c < 3; ++c, stride *= n) {
        const __m512 value = _mm512_cvtepi32_ps(level[c]);
        const __m512 guess = _mm512_mul_ps(value, reciprocal);  // as dividedBy255
        const __m512 exact = _mm512_fmadd_ps(_mm512_fnmadd_ps(guess, divisor, value), reciprocal, guess);
        const __m512 position = _mm512_mul_ps(exact, top);
        const __m512 below = _mm512_roundscale_ps(position, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
        const __m512i index = _mm512_cvttps_epi32(below);
        const __m512i strides = _mm512_set1_epi32(stride);
        p.base = _mm512_add_epi32(p.base, _mm512_mullo_epi32(index, strides));
        p.step[c] = _mm512_maskz_mov_epi32(_mm512_cmpgt_epi32_mask(last, index), strides);
        p.fraction[c] = _mm512_sub_ps(position, below);
    }
    return p;
}

TINTREEL_AVX512 inline void orderPair16(__m512& a, __m512i& stepA, __m512& b, __m512i& stepB) {
    const __mmask16 swap = _mm512_cmp_ps_mask(b, a, _CMP_GT_OQ);
    const __m512 big = _mm512_mask_blend_ps(swap, a, b), small = _mm512_mask_blend_ps(swap, b, a);
    const __m512i bigStep = _mm512_mask_blend_epi32(swap, stepA, stepB);
    const __m512i smallStep = _mm512_mask_blend_epi32(swap, stepB, stepA);
    a = big, b = small, stepA = bigStep, stepB = smallStep;
}

// Four nodes, one per 128-bit lane.
TINTREEL_AVX512 inline __m512 fourNodes(const char* grid, const std::uint32_t* corner) {
    __m512 nodes = _mm512_castps128_ps512(_mm_load_ps(nodeAt(grid, corner[0])));
    nodes = _mm512_insertf32x4(nodes, _mm_load_ps(nodeAt(grid, corner[1])), 1);
    nodes = _mm512_insertf32x4(nodes, _mm_load_ps(nodeAt(grid, corner[2])), 2);
    return _mm512_insertf32x4(nodes, _mm_load_ps(nodeAt(grid, corner[3])), 3);
}

template <bool kEvenPlaces>
TINTREEL_AVX512 void applyGridRow16(const ColorTable& table, const std::uint8_t* in, std::uint8_t* out,
                                    int width, float strength) {
    const char* grid = reinterpret_cast<const char*>(table.nodes());
    const __m512i byte = _mm512_set1_epi32(0xff);
    const __m512 one = _mm512_set1_ps(1.0f), top = _mm512_set1_ps(255.0f), zero = _mm512_setzero_ps(),
                 half = _mm512_set1_ps(0.5f), mix = _mm512_set1_ps(strength);
    const bool full = strength == 1.0f;
    int x = 0;
    for (; x + 16 <= width; x += 16) {
        const std::uint8_t* from = in + Image::kChannels * x;
        const __m512i pixels = _mm512_loadu_si512(from);
        const __m512i level[3] = {_mm512_and_si512(pixels, byte),
                                  _mm512_and_si512(_mm512_srli_epi32(pixels, 8), byte),
                                  _mm512_and_si512(_mm512_srli_epi32(pixels, 16), byte)};
        WidePlaces16 p = kEvenPlaces ? evenPlaces16(table, level) : lookedUpPlaces16(table, level);
        __m512i* step = p.step;
        __m512* d = p.fraction;
        orderPair16(d[0], step[0], d[1], step[1]);
        orderPair16(d[1], step[1], d[2], step[2]);
        orderPair16(d[0], step[0], d[1], step[1]);
        const __m512i first = _mm512_add_epi32(p.base, step[0]), second = _mm512_add_epi32(first, step[1]);
        // Byte offsets of the corners: a node is sixteen bytes.
        alignas(64) std::uint32_t corner[4][16];
        _mm512_store_si512(corner[0], _mm512_slli_epi32(p.base, 4));
        _mm512_store_si512(corner[1], _mm512_slli_epi32(first, 4));
        _mm512_store_si512(corner[2], _mm512_slli_epi32(second, 4));
        _mm512_store_si512(corner[3], _mm512_slli_epi32(_mm512_add_epi32(second, step[2]), 4));
        asm("" : "+m"(corner));  // as in the eight-pixel kernel: loads beat extracts
        const __m512 weight[4] = {_mm512_sub_ps(one, d[0]), _mm512_sub_ps(d[0], d[1]),
                                  _mm512_sub_ps(d[1], d[2]), d[2]};
        for (int quad = 0; quad < 16; quad += 4) {
            const __m512i spread =
                _mm512_setr_epi32(quad, quad, quad, quad, quad + 1, quad + 1, quad + 1, quad + 1, quad + 2,
                                  quad + 2, quad + 2, quad + 2, quad + 3, quad + 3, quad + 3, quad + 3);
            __m512 target{};
            for (int k = 0; k < 4; ++k) {
                const std::uint32_t at[4] = {corner[k][quad], corner[k][quad + 1], corner[k][quad + 2],
                                             corner[k][quad + 3]};
                const __m512 term =
                    _mm512_mul_ps(fourNodes(grid, at), _mm512_permutexvar_ps(spread, weight[k]));
                target = k == 0 ? term : _mm512_add_ps(target, term);
            }
            const __m128i ownBytes =
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + Image::kChannels * quad));
            const __m512 own = _mm512_cvtepi32_ps(_mm512_cvtepu8_epi32(ownBytes));
            __m512 value = full ? target : _mm512_add_ps(own, _mm512_mul_ps(_mm512_sub_ps(target, own), mix));
            value = _mm512_min_ps(_mm512_max_ps(value, zero), top);
            const __m128i bytes = _mm512_cvtepi32_epi8(_mm512_cvttps_epi32(_mm512_add_ps(value, half)));
            const __m128i result = _mm_mask_blend_epi8(0x8888, bytes, ownBytes);  // alpha as it was
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + Image::kChannels * (x + quad)), result);
        }
    }
    if (x < width)
        applyGridRow8<kEvenPlaces>(table, in + Image::kChannels * x, out + Image::kChannels * x, width - x,
                                   strength);
}
#pragma GCC diagnostic pop
#endif

}  // namespace

std::vector<NamedGridRow> gridRows([[maybe_unused]] const ColorTable& table) {
    std::vector<NamedGridRow> rows{{"one pixel", applyGridRow}};
#ifdef TINTREEL_X86_KERNELS
    const bool plain = table.hasPlainCurves();
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma"))
        rows.push_back({"AVX2", plain ? applyGridRow8<true> : applyGridRow8<false>});
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512dq"))
        rows.push_back({"AVX-512", plain ? applyGridRow16<true> : applyGridRow16<false>});
#endif
    return rows;
}

void applyCurveRow(const ColorTable& table, const std::uint8_t* in, std::uint8_t* out, int width,
                   float strength) {
    const auto& curves = table.curves();
    for (int x = 0; x < width; ++x, in += Image::kChannels, out += Image::kChannels) {
        for (int c = 0; c < 3; ++c) out[c] = mixed(in[c], curves[c][in[c]], strength);
        out[3] = in[3];
    }
}

}  // namespace tintreel
