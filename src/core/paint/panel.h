#pragma once

#include "core/paint/rgba_image.h"

namespace tw {

enum class TPanelFillStyle { pfsSolid, pfsGradient, pfsDoubleGradient };
enum class TPanelStyle {
  wpsNavy,
  wpsDarkGrey,
  wpsBlue,
  wpsBlack,
  wpsLightBlack,
  wpsSilver,
  wpsWinCalc,
  wpsGreen,
  wpsCustom
};

// A set of panel sides.
enum TPanelBorder : unsigned { wpbLeft = 1, wpbTop = 2, wpbRight = 4, wpbBottom = 8 };
using TPanelBorders = unsigned;
constexpr TPanelBorders kAllPanelBorders = wpbLeft | wpbTop | wpbRight | wpbBottom;

// The properties of a gradient panel that its painting reads, with their values at creation.
struct PanelLook {
  TPanelFillStyle fillStyle = TPanelFillStyle::pfsGradient;
  bool verticalGradient = true;
  TColor colorA = rgb(237, 243, 252);
  TColor colorB = clWhite;
  TColor colorC = clBlack;
  TColor colorD = clBlack;
  TPanelBorders innerBorders = kAllPanelBorders;
  TPanelBorders outerBorders = kAllPanelBorders;
  TColor innerBorderColor = clWhite;
  TColor outerBorderColor = rgb(142, 156, 173);
  bool rounded = true;
  int opacity = 255;
};

// The colours a named preset gives ColorA to ColorD (wpsCustom: the colours as they are).
void applyPanelStyle(PanelLook& look, TPanelStyle style);

// The panel's face (fill, borders, corners blended with `parent`, the parent's picture under the
// panel, of the same size), before the caption is drawn and before it is laid over the parent.
RgbaImage paintPanelFace(const PanelLook& look, const RgbaImage& parent);

// The finished panel: `face` laid over `parent` with the constant opacity look.opacity.
RgbaImage composePanel(const PanelLook& look, const RgbaImage& parent, const RgbaImage& face);

}  // namespace tw
