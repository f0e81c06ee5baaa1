#pragma once
// The row kernels that apply a colour table to straight-alpha RGBA8 pixels,
// mixed with the pixels as they were by a strength in [0, 1] and rounded to
// the nearest level; alpha passes through.
//
// A grid is applied one pixel at a time everywhere, and eight (AVX2) or
// sixteen (AVX-512) at a time where the processor has them. All of them do
// the same arithmetic in the same order, so each gives the same picture bit
// for bit, whichever runs; a test holds them to it.

#include <cstdint>
#include <vector>

#include "platform/filters/ColorTable.h"

namespace tintreel {

using GridRow = void (*)(const ColorTable& table, const std::uint8_t* in, std::uint8_t* out, int width,
                         float strength);

struct NamedGridRow {
    const char* name;
    GridRow row;
};

// Every grid kernel this processor runs for `table`: the one-pixel kernel
// first, the fastest last.
std::vector<NamedGridRow> gridRows(const ColorTable& table);

// The kernel of a table without a grid: each channel through its curve.
void applyCurveRow(const ColorTable& table, const std::uint8_t* in, std::uint8_t* out, int width,
                   float strength);

}  // namespace tintreel
