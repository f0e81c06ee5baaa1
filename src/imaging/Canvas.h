#pragma once
// Watermark canvases: a transparent frame-sized Image on which QPainter draws
// only inside the region that can receive marks, so that the cost follows
// the watermark's size rather than the frame's.
//
// Callable from any thread; each call owns its painting surfaces.

#include <QPainter>
#include <QRectF>
#include <functional>

#include "platform/filters/Image.h"

namespace tintreel {

// A width x height transparent canvas; `paint` draws in canvas coordinates
// (top-left origin, one unit per pixel, 72 dpi so that a point is a pixel)
// and marks outside `region` are cut off.
Image paintCanvas(int width, int height, const QRectF& region, const std::function<void(QPainter&)>& paint);

// A painting surface whose points are pixels (72 dpi), transparent.
QImage transparentSurface(int width, int height);

}  // namespace tintreel
