// Blend modes (the drawing state's blend mode): how a drawn pixel is combined
// with the one under it, weighted by the blend parameter (0 to 255).
#pragma once

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
