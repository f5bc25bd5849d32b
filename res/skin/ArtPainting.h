// Small painting helpers shared by the skin artwork renderers. Internal to skin_res.
// GUI thread only.
#pragma once

#include <QColor>
#include <QImage>
#include <QSize>
#include <QString>

namespace quello {

// The skin's transparent colour.
inline constexpr QRgb kSkinKey = 0xFFFF00FF;

// Renders an SVG resource into a transparent ARGB image of exactly `size`; null on failure.
QImage RenderSvg(const QString& resourcePath, QSize size);

// An icon SVG (drawn in white on transparent) rendered at `size` in one colour.
QImage TintedIcon(const QString& iconName, QSize size, QColor colour);

// Flattens soft-edged ARGB art for the magenta colour key: pixels at least half covered become
// opaque (their colour blended over `matte`, the colour the art is usually shown on); the rest
// become magenta. No opaque pixel is left equal to magenta.
QImage MatteToKey(const QImage& art, QColor matte);

} // namespace quello
