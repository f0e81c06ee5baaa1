#include "platform/filters/RecursiveGaussian.h"

#include <algorithm>
#include <array>
#include <complex>
#include <cstdint>
#include <cstring>
#include <vector>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

#include "platform/filters/Parallel.h"
#include "platform/filters/PixelMath.h"

namespace tintreel {

namespace {

// exp(-t² / 2) for t >= 0 as the sum of two damped cosines,
// exp(-b t) (a cos(w t) + c sin(w t)): the classic fourth-order recursive
// fit (Deriche's), refined for the smallest largest error over t in [0, 3.5] (2.5e-4 of
// the peak), which covers every cut at ceil(3 sigma) for sigma from 2 on.
struct DampedCosine {
    double a, c, b, w;
};
constexpr std::array<DampedCosine, 2> kFit{
    {{1.68382642, 3.74366163, 1.78394479, 0.62755762}, {-0.68400516, -0.25814646, 1.72802985, 1.99683894}}};

// The horizontal pass walks one pixel of eight rows at a time: thirty-two
// levels side by side, as two vectors of sixteen floats (a register each
// with AVX-512, two with AVX2). Four independent chains of recursions per
// step (two sections in two vectors) keep the processor busy while each
// waits for its previous output.
using Floats = float __attribute__((vector_size(64)));
constexpr std::size_t kVectorLanes = sizeof(Floats) / sizeof(float);
constexpr std::size_t kVectors = 2;
constexpr std::size_t kLanes = kVectorLanes * kVectors;
constexpr std::size_t kRowsAtOnce = kLanes / 4;
using RowGroup = std::array<int, kRowsAtOnce>;

// Between the passes levels are kept as 16-bit numbers with 8 fractional
// bits: half the memory of floats, at 1 / 512 of a level of rounding.
constexpr float kWordScale = 256.0f;

// One second-order recursion of one side of the kernel:
// y[n] = n0 x[n - o] + n1 x[n - o - 1] - m0 x[n - o - L] - m1 x[n - o - L - 1] - d1 y[n - 1] - d2 y[n - 2]
// with n counted along the walk, which sums weight(s) x[n - o - s] over s in [0, L).
// It runs as y[n] = n0 x[n - o] - m0 x[n - o - L] + s[n - 1] with the carried
// term s[n] = n1 x[n - o] - m1 x[n - o - L] - d1 y[n] - d2 y[n - 1]: each
// step reads two input samples instead of four.
struct Section {
    float n0, n1, m0, m1, d1, d2;
    float rest;  // the output while the input stays at 1: the state before an edge
};

// The state of a section whose input has been `edge` for ever.
template <typename T>
inline void settle(const Section& s, T edge, T& carried, T& last) {
    last = s.rest * edge;
    carried = s.n1 * edge - s.m1 * edge - s.d1 * last - s.d2 * last;
}

// One step of a section on the input sample x and the sample f leaving the
// window; returns y[n] and leaves the state ready for the next step.
template <typename T>
[[gnu::always_inline]] inline T advance(const Section& s, T x, T f, T& carried, T& last) {
    const T y = carried + s.n0 * x - s.m0 * f;
    carried = s.n1 * x - s.m1 * f - s.d2 * last - s.d1 * y;
    last = y;
    return y;
}

// One side of the kernel: the causal side holds the offsets 0 ... r, the
// other side (walked backwards) 1 ... r.
struct Side {
    std::array<Section, 2> sections;
    int offset;  // o: the lag of the first weight
    int far;     // o + L: the lag of the first sample that has left the window
};

struct RecursiveKernel {
    Side causal, anticausal;
};

Section section(std::complex<double> c, std::complex<double> pole, int length, double scale) {
    const std::complex<double> cut = c * std::pow(pole, length);
    Section s{};
    s.n0 = static_cast<float>(c.real() * scale);
    s.n1 = static_cast<float>(-(c * std::conj(pole)).real() * scale);
    s.m0 = static_cast<float>(cut.real() * scale);
    s.m1 = static_cast<float>(-(cut * std::conj(pole)).real() * scale);
    s.d1 = static_cast<float>(-2.0 * pole.real());
    s.d2 = static_cast<float>(std::norm(pole));
    return s;
}

// The steady output of the rounded coefficients themselves, so that a
// uniform picture comes out uniform whatever the rounding did to the poles.
double restOf(const Section& s) {
    return (double{s.n0} + s.n1 - s.m0 - s.m1) / (1.0 + s.d1 + s.d2);
}

Side side(double sigma, int offset, int length, double scale) {
    Side out{{}, offset, offset + length};
    for (std::size_t k = 0; k < kFit.size(); ++k) {
        const std::complex<double> pole = std::exp(std::complex<double>(-kFit[k].b, kFit[k].w) / sigma);
        const std::complex<double> c = std::complex<double>(kFit[k].a, -kFit[k].c) * std::pow(pole, offset);
        out.sections[k] = section(c, pole, length, scale);
    }
    return out;
}

double fittedWeight(double sigma, int t) {
    double v = 0.0;
    for (const DampedCosine& f : kFit)
        v += std::exp(-f.b * t / sigma) * (f.a * std::cos(f.w * t / sigma) + f.c * std::sin(f.w * t / sigma));
    return v;
}

RecursiveKernel recursiveKernel(double sigma, int r) {
    double total = fittedWeight(sigma, 0);
    for (int t = 1; t <= r; ++t) total += 2.0 * fittedWeight(sigma, t);
    // Rounded to floats the four steady outputs sum to 1 within a few parts
    // in ten thousand at the largest sigma; a second round with that sum
    // divided out brings it within float rounding.
    double scale = 1.0 / total;
    RecursiveKernel k{};
    for (int round = 0; round < 2; ++round) {
        k = {side(sigma, 0, r + 1, scale), side(sigma, 1, r, scale)};
        double sum = 0.0;
        for (const Side* s : {&k.causal, &k.anticausal})
            for (const Section& sec : s->sections) sum += restOf(sec);
        scale /= sum;
    }
    for (Side* s : {&k.causal, &k.anticausal})
        for (Section& sec : s->sections) sec.rest = static_cast<float>(restOf(sec));
    return k;
}

// The kernel with its input weights and steady outputs multiplied by
// `gain`, a power of two: the same sums, exactly, in units `gain` times
// the input's, without a multiply per sample to convert them.
RecursiveKernel withGain(RecursiveKernel k, float gain) {
    for (Side* s : {&k.causal, &k.anticausal})
        for (Section& sec : s->sections)
            for (float* v : {&sec.n0, &sec.n1, &sec.m0, &sec.m1, &sec.rest}) *v *= gain;
    return k;
}

// Walks `count` positions of `line` (kLanes floats per position) from one
// end (step +1 from 0, or -1 from count - 1), writes to sumsOf(n) the sum of
// the side's weights times the samples behind n and then calls
// done(n, sums). The line must hold
// far positions beyond either end, repeating the edge. Each lane is
// computed alone and always in the same order, so a lane's result does not
// depend on its neighbours.
template <typename SumsOf, typename Done>
[[gnu::always_inline]] inline void walk(const Side& side, const float* line, int count, int step,
                                        SumsOf sumsOf, Done done) {
    // Fills v rather than returning it: a vector return would take the AVX
    // calling convention, which the baseline build does not have.
    const auto at = [line](Floats& v, int n, std::size_t j) {
        std::memcpy(
            &v,
            line + n * static_cast<std::ptrdiff_t>(kLanes) + static_cast<std::ptrdiff_t>(kVectorLanes * j),
            sizeof v);
    };
    // Copies: the sums are stored as floats, so the compiler would otherwise
    // have to reload the coefficients after every store.
    const Section p = side.sections[0], q = side.sections[1];
    const int xLag = step * side.offset, fLag = step * side.far;
    const int first = step > 0 ? 0 : count - 1;
    Floats pCarried[kVectors], pLast[kVectors], qCarried[kVectors], qLast[kVectors];
    for (std::size_t j = 0; j < kVectors; ++j) {
        Floats edge;
        at(edge, first - step, j);
        settle(p, edge, pCarried[j], pLast[j]);
        settle(q, edge, qCarried[j], qLast[j]);
    }
    for (int i = 0, n = first; i < count; ++i, n += step) {
        float* sums = sumsOf(n);
        for (std::size_t j = 0; j < kVectors; ++j) {
            Floats x, f;
            at(x, n - xLag, j), at(f, n - fLag, j);
            const Floats sum =
                advance(p, x, f, pCarried[j], pLast[j]) + advance(q, x, f, qCarried[j], qLast[j]);
            std::memcpy(sums + kVectorLanes * j, &sum, sizeof sum);
        }
        done(n, sums);
    }
}

// Rounded (halves up) and clamped to [0, hi]. Converting to an integer
// first gives the same numbers as clamping the float would (the sums stay
// far inside an int's range) in instructions that vectorise without masks.
inline std::int32_t roundedLevel(float v, std::int32_t hi) {
    return std::clamp(static_cast<std::int32_t>(v + 0.5f), 0, hi);
}

// Over a black area a recursion's state decays towards zero and, at the
// rate of a few multiplies a sample, into subnormal floats, which the
// processor handles many times slower. Far below anything that rounds to a
// level, so the passes flush them to zero, on this thread and for as long
// as a pass runs.
class SubnormalsFlushed {
public:
#if defined(__SSE__)
    SubnormalsFlushed() : saved_(_mm_getcsr()) {
        _mm_setcsr(saved_ | kFlushToZero | kDenormalsAreZero);
    }
    ~SubnormalsFlushed() {
        _mm_setcsr(saved_);
    }

private:
    static constexpr unsigned kFlushToZero = 0x8000, kDenormalsAreZero = 0x0040;
    unsigned saved_;
#endif
    SubnormalsFlushed(const SubnormalsFlushed&) = delete;
    SubnormalsFlushed& operator=(const SubnormalsFlushed&) = delete;
};

// The vertical pass runs down (and then up) every column of a band of the
// picture at once, row after row, so that it reads and writes whole rows
// in order. Wider bands read more of a row at once, which the processor
// streams better; this one keeps the band's state in the first-level cache
// and its causal sums (two megabytes at 1080 rows) close to the second.
constexpr std::size_t kBandLevels = 512;
// Rows of band-wide scratch are this far apart: a cache line more than a
// band, so that rows never share their address bits below 4 KiB (a load
// whose address matches a recent store's there waits for it to complete).
constexpr std::size_t kBandPitch = kBandLevels + 16;

// A pair of rows of a side's recursions over n levels, in walking order (a
// walk down the columns takes its rows in pairs, so that the sections'
// states are read and written once for both): x and x2 are the input rows
// at the side's lag, f and f2 the ones leaving its window. (Named pointers
// rather than arrays of them: only these tell the compiler that the rows
// do not overlap, which it needs to vectorise the loop.)
inline void columnSteps(const Side& side, std::size_t n, const std::uint8_t* __restrict x,
                        const std::uint8_t* __restrict f, const std::uint8_t* __restrict x2,
                        const std::uint8_t* __restrict f2, float* __restrict pCarried,
                        float* __restrict pLast, float* __restrict qCarried, float* __restrict qLast,
                        float* __restrict sum, float* __restrict sum2) {
    const Section &p = side.sections[0], &q = side.sections[1];
    for (std::size_t i = 0; i < n; ++i) {
        float pc = pCarried[i], pl = pLast[i], qc = qCarried[i], ql = qLast[i];
        const float a = x[i], b = f[i], a2 = x2[i], b2 = f2[i];
        sum[i] = advance(p, a, b, pc, pl) + advance(q, a, b, qc, ql);
        sum2[i] = advance(p, a2, b2, pc, pl) + advance(q, a2, b2, qc, ql);
        pCarried[i] = pc, pLast[i] = pl, qCarried[i] = qc, qLast[i] = ql;
    }
}

// A band's rows lie a page or more apart, beyond what the processor
// prefetches by itself, so each new row would stall the walk: it asks for
// the rows this many ahead of the ones it reads.
constexpr int kRowsAhead = 6;

// Walks the rows of the levels [first, first + n) from one end (step +1
// from row 0, or -1 from the last), writes the side's sums of row y to
// sumsOf(y, r) (r: 0 for the first row of a pair, 1 for the second) and
// then calls done(y, sums).
template <typename SumsOf, typename Done>
[[gnu::always_inline]] inline void walkColumns(const Side& side, const Image& in, std::size_t first,
                                               std::size_t n, int step, float* state, float* spare,
                                               SumsOf sumsOf, Done done) {
    const int h = in.height();
    const auto row = [&](int y) { return in.row(std::clamp(y, 0, h - 1)) + first; };
    float *pCarried = state, *pLast = state + kBandPitch, *qCarried = state + 2 * kBandPitch,
          *qLast = state + 3 * kBandPitch;
    const int start = step > 0 ? 0 : h - 1;
    const std::uint8_t* edge = row(start - step);
    for (std::size_t i = 0; i < n; ++i) {
        const float e = edge[i];
        settle(side.sections[0], e, pCarried[i], pLast[i]);
        settle(side.sections[1], e, qCarried[i], qLast[i]);
    }
    // A last pair that runs past the end computes its second row (on the
    // edge row) into `spare` and drops it.
    for (int c = 0; c < h; c += 2) {
        const int y = start + step * c, y2 = y + step;
        prefetchBytes(row(y + step * kRowsAhead), n);
        prefetchBytes(row(y2 + step * kRowsAhead), n);
        float *const sums = sumsOf(y, 0), *const sums2 = c + 1 < h ? sumsOf(y2, 1) : spare;
        columnSteps(side, n, row(y - step * side.offset), row(y - step * side.far),
                    row(y2 - step * side.offset), row(y2 - step * side.far), pCarried, pLast, qCarried, qLast,
                    sums, sums2);
        done(y, sums);
        if (c + 1 < h) done(y2, sums2);
    }
}

// Band rows of scratch a walk down the columns needs: the sections' state
// (four), a pair's sums (two) and a spare.
constexpr std::size_t kScratchRows = 4 + 2 + 1;

// The vertical pass of the levels [first, first + n) (n at most
// kBandLevels) of every row into `mid`, through `scratch` (kScratchRows
// band rows) and `causal` (one per picture row). The kernel's gain is
// kWordScale, so its sums are already in words.
TINTREEL_FMA_KERNEL void verticalBand(const Image& in, const RecursiveKernel& k, std::size_t first,
                                      std::size_t n, float* scratch, float* causal, std::uint16_t* mid) {
    const std::size_t stride = in.stride();
    float *const sum = scratch + 4 * kBandPitch, *const spare = sum + 2 * kBandPitch;
    const auto causalOf = [&](int y) { return causal + static_cast<std::size_t>(y) * kBandPitch; };
    walkColumns(
        k.causal, in, first, n, 1, scratch, spare, [&](int y, int) { return causalOf(y); },
        [](int, const float*) {});
    walkColumns(
        k.anticausal, in, first, n, -1, scratch, spare, [sum](int, int r) { return sum + r * kBandPitch; },
        [&](int y, const float* v) {
            const float* __restrict c = causalOf(y);
            std::uint16_t* __restrict dst = mid + static_cast<std::size_t>(y) * stride + first;
            for (std::size_t i = 0; i < n; ++i)
                dst[i] = static_cast<std::uint16_t>(roundedLevel(c[i] + v[i], 65535));
        });
}

// The horizontal pass of the rows `rows` of `mid` into `out`, through
// `line` (the rows side by side, `pad` edge pixels repeated at either end)
// and `causal` (one entry per pixel). The kernel's gain is 1 / kWordScale,
// so it takes words in and gives levels.
TINTREEL_FMA_KERNEL void horizontalRows(const RecursiveKernel& k, const std::uint16_t* mid,
                                        const RowGroup& rows, int pad, float* line, float* causal,
                                        Image& out) {
    const int w = out.width();
    std::array<const std::uint16_t*, kRowsAtOnce> from;
    std::array<std::uint8_t*, kRowsAtOnce> to;
    for (std::size_t j = 0; j < rows.size(); ++j) {
        from[j] = mid + static_cast<std::size_t>(rows[j]) * out.stride();
        to[j] = out.row(rows[j]);
    }
    float* dst = line;
    const auto gather = [&](int x) {
        for (std::size_t j = 0; j < from.size(); ++j)
            for (std::size_t c = 0; c < 4; ++c) dst[4 * j + c] = from[j][4 * static_cast<std::size_t>(x) + c];
        dst += kLanes;
    };
    for (int p = 0; p < pad; ++p) gather(0);
    for (int x = 0; x < w; ++x) gather(x);
    for (int p = 0; p < pad; ++p) gather(w - 1);
    const float* origin = line + static_cast<std::size_t>(pad) * kLanes;
    walk(
        k.causal, origin, w, 1, [causal](int x) { return causal + x * kLanes; }, [](int, const float*) {});
    alignas(64) float sums[kLanes];
    walk(
        k.anticausal, origin, w, -1, [&sums](int) { return sums; },
        [&](int x, const float* v) {
            // Written out in vectors: the compiler's own vectorising of this
            // step spent more instructions narrowing to bytes than on the sums.
            using Ints = std::int32_t __attribute__((vector_size(sizeof(Floats))));
            using Bytes = std::uint8_t __attribute__((vector_size(kVectorLanes)));
            const float* c = causal + x * kLanes;
            for (std::size_t j = 0; j < kVectors; ++j) {
                Floats a, b;
                std::memcpy(&a, c + kVectorLanes * j, sizeof a);
                std::memcpy(&b, v + kVectorLanes * j, sizeof b);
                Ints level = __builtin_convertvector(a + b + 0.5f, Ints);
                level = level < 0 ? 0 : level;
                level = level > 255 ? 255 : level;
                const Bytes bytes = __builtin_convertvector(level, Bytes);
                for (std::size_t r = 0; r < kVectorLanes / 4; ++r)
                    std::memcpy(to[j * kVectorLanes / 4 + r] + 4 * static_cast<std::size_t>(x),
                                reinterpret_cast<const std::uint8_t*>(&bytes) + 4 * r, 4);
            }
        });
}

}  // namespace

Image recursiveGaussian(const Image& in, double sigma, int radius) {
    if (in.isEmpty()) return in;
    const RecursiveKernel k = recursiveKernel(sigma, radius);
    const RecursiveKernel toWords = withGain(k, kWordScale), fromWords = withGain(k, 1.0f / kWordScale);
    const int w = in.width(), h = in.height();
    const std::size_t levels = in.stride();
    // The picture's levels after the vertical pass, in a frame-sized buffer
    // from the frame pool (two bytes a level).
    std::vector<std::uint8_t, PixelAllocator> midBytes(levels * static_cast<std::size_t>(h) * 2);
    std::uint16_t* const mid = reinterpret_cast<std::uint16_t*>(midBytes.data());
    const int bands = static_cast<int>((levels + kBandLevels - 1) / kBandLevels);
    forEachRowBlock(bands, 1, [&](int b0, int b1) {
        const SubnormalsFlushed flushed;
        const std::span<float> scratch = threadScratch<float, 0>(kScratchRows * kBandPitch);
        const std::span<float> causal = threadScratch<float, 1>(static_cast<std::size_t>(h) * kBandPitch);
        for (int b = b0; b < b1; ++b) {
            const std::size_t first = static_cast<std::size_t>(b) * kBandLevels;
            verticalBand(in, toWords, first, std::min(kBandLevels, levels - first), scratch.data(),
                         causal.data(), mid);
        }
    });
    // Every sample a walk along a row reads lies within its line.
    const int pad = std::max(k.causal.far, k.anticausal.far);
    Image out = Image::forOverwrite(w, h);
    forEachRowBlock(h, [&](int y0, int y1) {
        const SubnormalsFlushed flushed;
        const std::span<float> line = threadScratch<float, 0>(static_cast<std::size_t>(w + 2 * pad) * kLanes);
        const std::span<float> causal = threadScratch<float, 1>(static_cast<std::size_t>(w) * kLanes);
        for (int y = y0; y < y1; y += static_cast<int>(kRowsAtOnce)) {
            // The last group of a block repeats its last row where it runs out.
            RowGroup rows;
            for (std::size_t j = 0; j < rows.size(); ++j) rows[j] = std::min(y + static_cast<int>(j), y1 - 1);
            horizontalRows(fromWords, mid, rows, pad, line.data(), causal.data(), out);
        }
    });
    return out;
}

}  // namespace tintreel
