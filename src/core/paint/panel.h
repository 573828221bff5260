#pragma once

#include "core/paint/rgba_image.h"

namespace tw {

enum class PanelFill { Solid, Gradient, DoubleGradient };
enum class PanelStyle { Navy, DarkGrey, Blue, Black, LightBlack, Silver, Calculator, Green, Custom };

// A set of panel sides.
enum PanelBorder : unsigned { kLeftBorder = 1, kTopBorder = 2, kRightBorder = 4, kBottomBorder = 8 };
using PanelBorders = unsigned;
constexpr PanelBorders kAllPanelBorders = kLeftBorder | kTopBorder | kRightBorder | kBottomBorder;

// The properties of a gradient panel that its painting reads, with their values at creation.
struct PanelLook {
  PanelFill fillStyle = PanelFill::Gradient;
  bool verticalGradient = true;
  Color colorA = rgb(237, 243, 252);
  Color colorB = kWhite;
  Color colorC = kBlack;
  Color colorD = kBlack;
  PanelBorders innerBorders = kAllPanelBorders;
  PanelBorders outerBorders = kAllPanelBorders;
  Color innerBorderColor = kWhite;
  Color outerBorderColor = rgb(142, 156, 173);
  bool rounded = true;
  int opacity = 255;
};

// The colours a named preset gives ColorA to ColorD (Custom: the colours as they are).
void applyPanelStyle(PanelLook& look, PanelStyle style);

// The panel's face (fill, borders, corners blended with `parent`, the parent's picture under the
// panel, of the same size), before the caption is drawn and before it is laid over the parent.
RgbaImage paintPanelFace(const PanelLook& look, const RgbaImage& parent);

// The finished panel: `face` laid over `parent` with the constant opacity look.opacity.
RgbaImage composePanel(const PanelLook& look, const RgbaImage& parent, const RgbaImage& face);

}  // namespace tw
