#pragma once

#include <QRectF>

namespace sv {

// The screen edge the floating bar sits at.
enum class BarPosition { top, bottom };

inline constexpr double minimumBarWidth = 320.0;
inline constexpr double barEdgeGap = 8.0;

// The bar's frame on a screen whose work area is `visible` (Qt coordinates,
// y downwards): `widthFraction` of the work area's width but never narrower
// than 320, centred horizontally (a 320 bar on a narrower screen overhangs
// both sides equally), 8 points inside the chosen edge.
inline QRectF barFrame(const QRectF &visible, double widthFraction, double barHeight, BarPosition position)
{
    const double width = std::max(visible.width() * widthFraction, minimumBarWidth);
    const double x = visible.x() + (visible.width() - width) * 0.5;
    const double y = position == BarPosition::top ? visible.y() + barEdgeGap
                                                  : visible.y() + visible.height() - barHeight - barEdgeGap;
    return QRectF(x, y, width, barHeight);
}

} // namespace sv
