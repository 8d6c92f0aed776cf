#pragma once

namespace rover {

// The window's fixed layout: its size as requested at creation, the map's
// square viewport in its lower-left corner, and the status column to the
// right of the map.
inline constexpr int kWindowWidth = 854;
inline constexpr int kWindowHeight = 604;

inline constexpr int kMapViewportX = 2;
inline constexpr int kMapViewportY = 2;
inline constexpr int kMapViewportSize = 600;

inline constexpr int kTextColumnX = 605;  // just right of the map viewport
inline constexpr int kTextTopY = 592;
inline constexpr int kTextLineHeight = 12;

}  // namespace rover
