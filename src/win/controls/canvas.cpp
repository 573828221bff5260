#include "win/controls/canvas.h"

// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <algorithm>
#include <stdexcept>

#include "win/controls/window.h"

namespace tw::win {

Canvas::Canvas(int width, int height) : width_(std::max(width, 1)), height_(std::max(height, 1)) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width_;
  info.bmiHeader.biHeight = -height_;  // top row first, as RgbaImage
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  HDC screen = GetDC(nullptr);
  dc_ = CreateCompatibleDC(screen);
  void* bits = nullptr;
  bitmap_ = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  ReleaseDC(nullptr, screen);
  if (dc_ == nullptr || bitmap_ == nullptr) {
    if (bitmap_ != nullptr) DeleteObject(bitmap_);
    if (dc_ != nullptr) DeleteDC(dc_);
    throw std::runtime_error("Cannot make an off-screen picture of " + std::to_string(width_) + " x " +
                             std::to_string(height_) + " pixels.");
  }
  bits_ = static_cast<std::uint8_t*>(bits);
  previous_ = SelectObject(dc_, bitmap_);
  SetBkMode(dc_, TRANSPARENT);
}

Canvas::~Canvas() {
  SelectObject(dc_, static_cast<HGDIOBJ>(previous_));
  DeleteObject(bitmap_);
  DeleteDC(dc_);
}

void Canvas::put(const RgbaImage& image) {
  GdiFlush();
  const int w = std::min(width_, image.width()), h = std::min(height_, image.height());
  for (int y = 0; y < h; ++y) {
    const std::uint8_t* from = image.bits() + static_cast<std::size_t>(y) * image.width() * 4;
    std::uint8_t* to = bits_ + static_cast<std::size_t>(y) * width_ * 4;
    for (int x = 0; x < w; ++x, from += 4, to += 4) {
      to[0] = from[2];  // blue
      to[1] = from[1];  // green
      to[2] = from[0];  // red
      to[3] = 255;
    }
  }
}

RgbaImage Canvas::picture() const {
  GdiFlush();
  RgbaImage image(width_, height_);
  for (int y = 0; y < height_; ++y) {
    const std::uint8_t* from = bits_ + static_cast<std::size_t>(y) * width_ * 4;
    for (int x = 0; x < width_; ++x, from += 4) image.setPixel(x, y, rgb(from[2], from[1], from[0]));
  }
  return image;
}

void Canvas::drawText(std::string_view text, const Rect& r, FontHandle font, Color color, unsigned format) {
  const std::wstring shown = wide(text);
  const Color c = resolveColor(color);
  HGDIOBJ before = SelectObject(dc_, font);
  SetTextColor(dc_, RGB(redOf(c), greenOf(c), blueOf(c)));
  RECT box{r.left, r.top, r.right, r.bottom};
  DrawTextW(dc_, shown.c_str(), static_cast<int>(shown.size()), &box, format);
  SelectObject(dc_, before);
}

void Canvas::drawImage(ImageListHandle images, int index, int x, int y) {
  if (images != nullptr) ImageList_Draw(images, index, dc_, x, y, ILD_NORMAL);
}

void Canvas::drawIcon(IconHandle icon, int x, int y, int size) {
  if (icon != nullptr) DrawIconEx(dc_, x, y, icon, size, size, 0, nullptr, DI_NORMAL);
}

void Canvas::copyTo(DeviceContext target, int x, int y) const {
  BitBlt(target, x, y, width_, height_, dc_, 0, 0, SRCCOPY);
}

Size measureText(FontHandle font, std::string_view text, bool prefix) {
  HDC screen = GetDC(nullptr);
  HGDIOBJ before = SelectObject(screen, font);
  const std::wstring shown = wide(text);
  RECT box{0, 0, 0, 0};
  DrawTextW(screen, shown.c_str(), static_cast<int>(shown.size()), &box,
            DT_CALCRECT | DT_SINGLELINE | (prefix ? 0 : DT_NOPREFIX));
  if (shown.empty()) {
    TEXTMETRICW metrics{};
    GetTextMetricsW(screen, &metrics);
    box.bottom = metrics.tmHeight;
  }
  SelectObject(screen, before);
  ReleaseDC(nullptr, screen);
  return Size{box.right - box.left, box.bottom - box.top};
}

}  // namespace tw::win
