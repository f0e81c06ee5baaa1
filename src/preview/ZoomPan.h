#pragma once
// Zoom and pan of the still preview as pure geometry. The visible area has a
// size; the image view has a frame (origin and size) inside it, in the
// area's coordinates. The zoom factor is never stored: it is the image
// view's width over the area's width, between 1 and 10.
//
// The rules keep the image view covering the area: area − view ≤ origin ≤ 0
// in each axis. They are symmetric in y, so they hold in Qt's top-left
// coordinates as they do bottom-up. Pure functions; any thread.

#include <QRectF>
#include <QSizeF>

namespace tintreel {

inline constexpr double kZoomInFactor = 1.1;
inline constexpr double kZoomOutFactor = 0.9;
inline constexpr double kMaximumZoom = 10.0;

// One zoom step by `factor`, keeping the centre, then repositioned.
QRectF zoomPreview(const QSizeF& area, const QRectF& view, double factor);
// The view at the area's size, origin brought into range (to (0, 0)).
QRectF resetZoom(const QSizeF& area, const QRectF& view);
// The zoom that shows each pixel of the picture on one screen pixel: the
// view in which a picture of `picture` size (in the area's units) fitted in
// is drawn at exactly that size, keeping the view's centre; at most the
// maximum zoom. A picture smaller than the area gives a view smaller than
// the area, centred in it, which a drag leaves in place.
QRectF actualPixelsView(const QSizeF& area, const QRectF& view, const QSizeF& picture);
// Clamps the origin: first to area − view, then to at most 0.
QRectF repositionInVisibleArea(const QSizeF& area, const QRectF& view);
// Moves the view by a pointer drag; an axis whose move would leave the
// allowed range is left unchanged (not clamped).
QRectF panPreview(const QSizeF& area, const QRectF& view, const QPointF& delta);

}  // namespace tintreel
