#pragma once
// The preview scale: how much smaller than the movie playback works, and
// the Automatic choice among full, half and quarter size.
//
// Automatic: never larger than what the view shows (a frame drawn at 600
// pixels wide gains nothing from 1920 decoded ones), and smaller while a
// frame costs more than its share of the time: it steps down a scale when
// the mean cost of a frame passes 80 % of the time between frames, and up
// again only when the larger scale, about four times the work, would stay
// under half of it.
//
// Pure functions on values; any thread.

#include <QString>

namespace tintreel {

enum class PreviewScale { Automatic, Full, Half, Quarter };

// 1, 2 or 4 for a fixed scale; Automatic has none of its own.
int shrinkOf(PreviewScale scale);
QString scaleName(int shrink);

// The smallest shrink (1, 2, 4) whose frame is still at least as wide as
// what the view shows of it, both in device pixels.
int shrinkForView(int frameWidth, double shownWidth);
// The next shrink for Automatic, from the current one, the view's ceiling
// (shrinkForView), the mean milliseconds a frame costs and the frame period.
int automaticShrink(int current, int viewShrink, double frameMs, double periodMs);

}  // namespace tintreel
