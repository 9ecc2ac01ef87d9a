// The charts' colours: one palette told apart with every common colour vision, shared by the
// windows so that a colour means the same thing in each.
#pragma once

namespace palette {

inline constexpr const char* Black = "#000000";
inline constexpr const char* Orange = "#E69F00";
inline constexpr const char* SkyBlue = "#56B4E9";
inline constexpr const char* BluishGreen = "#009E73";
inline constexpr const char* Yellow = "#F0E442";
inline constexpr const char* Blue = "#0072B2";
inline constexpr const char* Vermillion = "#D55E00";
inline constexpr const char* Grey = "#999999";

}  // namespace palette
