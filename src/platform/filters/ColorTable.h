#pragma once
// ColorTable: a colour look-up table file (.cube, .3dl, .csp, .spi1d, .spi3d,
// .clf and the other formats OpenColorIO reads), baked once into a form our
// kernel applies to 8-bit pixels fast:
// - a per-channel curve over the 256 input levels (a 1D table, or the 1D
//   shaper in front of a 3D table), and
// - a 3D grid of RGB values (the file's own grid, or 65^3 samples of any
//   other chain of operations the file holds), read by tetrahedral
//   interpolation.
//
// Ownership: a loaded table is immutable and shared (shared_ptr); `load`
// keeps the last tables it read, keyed by path, modification time and size,
// so a profile that names the same unchanged file reads it once.
// Threads: `load` may be called from any thread (it serialises itself); a
// loaded table and a configured ColorTableFilter are read-only and may be
// used from any thread.

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/filters/Image.h"
#include "platform/filters/PixelKernel.h"
#include "platform/system/Result.h"

namespace tintreel {

// Tables above this size are refused before they are read: a 65^3 .cube
// takes about 8 MiB of text.
inline constexpr std::uintmax_t kColorTableMaxBytes = 64ull * 1024 * 1024;
// The file types a table is chosen or dropped by (their extensions, lower case).
inline constexpr std::array<std::string_view, 20> kColorTableExtensions{
    "cube", "3dl", "csp",  "spi1d", "spi3d", "spimtx", "clf", "ctf", "cc",  "ccc",
    "cdl",  "lut", "look", "mga",   "m3d",   "vf",     "itx", "cub", "1dl", "hdl"};
// Whether `path` ends in one of them, in any case.
bool hasColorTableExtension(const std::filesystem::path& path);

// The grid a file is sampled into when it is not one plain 3D table.
inline constexpr int kBakedGridSize = 65;
// The largest grid of a file taken as it is (larger ones are sampled).
inline constexpr int kLargestOwnGrid = 129;

class ColorTable {
public:
    // The levels 0 ... 255 of each channel through the file's per-channel
    // part, as positions in [0, 1] (clamped) ready for the grid, or as the
    // output when there is no grid.
    using ChannelCurve = std::array<float, 256>;

    // Reads `path` (links followed). Fails with a sentence naming the file
    // and why: not a regular file, too large, or the reader's own message
    // (which names the line where it gives one).
    static Result<std::shared_ptr<const ColorTable>> load(const std::filesystem::path& path);

    // A table from given parts, for tests and the exported look: `grid`
    // holds gridSize^3 RGB triples, red changing fastest; an empty grid
    // means the curves are the whole table.
    ColorTable(std::array<ChannelCurve, 3> curves, int gridSize, std::vector<float> grid);

    int gridSize() const { return gridSize_; }  // 0 for a per-channel table
    const std::array<ChannelCurve, 3>& curves() const { return curves_; }
    const std::vector<float>& grid() const { return grid_; }

    // The grid as the kernel reads it: each node's RGB in output levels
    // (255 for 1), padded to four floats so that one node is one aligned
    // vector load.
    using Node = float __attribute__((vector_size(16)));
    const Node* nodes() const { return nodes_.data(); }

    // Where each channel's level falls in the grid, worked out once: the
    // index of the grid node below it (already times the channel's stride),
    // the step to the node above (0 on the top node) and the fraction of
    // the way there.
    struct GridPlace {
        std::array<std::uint32_t, 256> below;
        std::array<std::uint32_t, 256> step;
        std::array<float, 256> fraction;
    };
    const std::array<GridPlace, 3>& places() const { return places_; }
    // Whether every curve is the plain level, level / 255: then a level's
    // grid place follows from the level alone.
    bool hasPlainCurves() const { return plainCurves_; }

private:
    std::array<ChannelCurve, 3> curves_;
    int gridSize_ = 0;
    std::vector<float> grid_;
    std::vector<Node> nodes_;
    std::array<GridPlace, 3> places_{};
    bool plainCurves_ = false;
};

// Applies a table to a straight-alpha RGBA8 picture, mixed with the picture
// as it was by `strength` (0 ... 1), rounding to the nearest level; alpha
// passes through. Without a table, or at strength 0, it returns a copy.
class ColorTableFilter : public PerPixelFilter<ColorTableFilter> {
public:
    void setTable(std::shared_ptr<const ColorTable> table);
    void setStrength(double strength);  // clamped into [0, 1]; NaN is ignored
    bool isIdentity() const { return !table_ || strength_ == 0.0f; }
    PixelKernel kernel() const;

private:
    std::shared_ptr<const ColorTable> table_;
    float strength_ = 1.0f;
};

}  // namespace tintreel
