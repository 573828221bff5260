#include "win/controls/fonts.h"

// clang-format off
#include <windows.h>
// clang-format on

#include <array>

#include "core/ui/fonts.h"

namespace tw::win {

namespace {

int CALLBACK noteFace(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

std::wstring firstInstalled(const std::array<std::string_view, 3>& faces) {
  for (std::string_view face : faces) {
    if (isFontInstalled(face)) return wide(face);
  }
  return wide(faces[0]);  // the system's font mapper finds the nearest
}

HFONT makeFont(const std::wstring& face, int height, int weight, bool underline) {
  LOGFONTW font{};
  font.lfHeight = -height;
  font.lfWeight = weight;
  font.lfUnderline = underline ? TRUE : FALSE;
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfQuality = CLEARTYPE_QUALITY;
  face.copy(font.lfFaceName, LF_FACESIZE - 1);
  return CreateFontIndirectW(&font);
}

}  // namespace

bool isFontInstalled(std::string_view face) {
  LOGFONTW wanted{};
  wanted.lfCharSet = DEFAULT_CHARSET;
  wide(face).copy(wanted.lfFaceName, LF_FACESIZE - 1);
  bool found = false;
  HDC screen = GetDC(nullptr);
  EnumFontFamiliesExW(screen, &wanted, noteFace, reinterpret_cast<LPARAM>(&found), 0);
  ReleaseDC(nullptr, screen);
  return found;
}

Fonts::Fonts(const Dpi& dpi) { rebuild(dpi); }

Fonts::~Fonts() { release(); }

void Fonts::release() {
  for (FontHandle* font : {&control_, &controlUnderlined_, &window_, &heading_}) {
    if (*font != nullptr) DeleteObject(*font);
    *font = nullptr;
  }
}

void Fonts::rebuild(const Dpi& dpi) {
  release();
  static const std::wstring controlFace = firstInstalled(kControlFontFaces);
  static const std::wstring windowFace = firstInstalled(kWindowFontFaces);
  control_ = makeFont(controlFace, dpi.px(kControlFontPixels), FW_NORMAL, false);
  controlUnderlined_ = makeFont(controlFace, dpi.px(kControlFontPixels), FW_NORMAL, true);
  window_ = makeFont(windowFace, MulDiv(kWindowFontPoints, dpi.dotsPerInch(), 72), FW_NORMAL, false);
  heading_ = makeFont(controlFace, MulDiv(12, dpi.dotsPerInch(), 72), FW_BOLD, false);
}

}  // namespace tw::win
