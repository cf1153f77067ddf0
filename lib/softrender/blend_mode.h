// Blend modes (the drawing state's blend mode): how a drawn pixel is combined
// with the one under it, weighted by the blend parameter (0 to 255).
#pragma once
#include <type_traits>

constexpr int BLEND_COPY = 0;     // the source replaces the destination
constexpr int BLEND_ALPHA = 1;    // blend by the parameter
constexpr int BLEND_ADD = 2;      // add, saturating
constexpr int BLEND_SUB = 3;      // subtract, saturating
constexpr int BLEND_MUL = 4;      // multiply
constexpr int BLEND_ADD_3D = 5;   // the three-dimensional side's addition (inside the subtractive bracket)
constexpr int BLEND_INVSRC = 10;  // inverted source blended by the parameter
constexpr int BLEND_MULA = 11;    // multiply blended by the parameter

// Modes 5 to 9 belong to the three-dimensional side and modes above 11 to
// none: the software renderer draws nothing in them.
constexpr bool IsSoftBlendMode(int mode) {
  return mode >= BLEND_COPY && (mode <= BLEND_MUL || (mode >= BLEND_INVSRC && mode <= BLEND_MULA));
}

// The modes the blend parameter weights (copy and multiply ignore it).
constexpr bool BlendModeUsesParam(int mode) {
  return mode == BLEND_ALPHA || mode == BLEND_ADD || mode == BLEND_SUB || mode == BLEND_INVSRC ||
         mode == BLEND_MULA;
}

// Calls pick(std::integral_constant<int, M>{}) with M the software mode equal
// to `mode`, so that each mode gets loops of its own, and returns what it
// returns; a mode the software renderer does not draw gives a null loop.
template <class Pick>
auto PickForSoftBlendMode(int mode, Pick&& pick)
    -> decltype(pick(std::integral_constant<int, BLEND_COPY>{})) {
  switch (mode) {
    case BLEND_COPY:
      return pick(std::integral_constant<int, BLEND_COPY>{});
    case BLEND_ALPHA:
      return pick(std::integral_constant<int, BLEND_ALPHA>{});
    case BLEND_ADD:
      return pick(std::integral_constant<int, BLEND_ADD>{});
    case BLEND_SUB:
      return pick(std::integral_constant<int, BLEND_SUB>{});
    case BLEND_MUL:
      return pick(std::integral_constant<int, BLEND_MUL>{});
    case BLEND_INVSRC:
      return pick(std::integral_constant<int, BLEND_INVSRC>{});
    case BLEND_MULA:
      return pick(std::integral_constant<int, BLEND_MULA>{});
    default:
      return {};  // not a software mode (IsSoftBlendMode)
  }
}
