#include "win/controls/image_list.h"

// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
// clang-format on

#include <stdexcept>

#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_support.h"
#include "win/resources/resource_ids.h"

namespace tw::win {

ImageList::ImageList(int firstResource, int count, const Dpi& dpi)
    : firstResource_(firstResource), count_(count) {
  reload(dpi);
}

ImageList::~ImageList() {
  if (handle_ != nullptr) ImageList_Destroy(handle_);
}

void ImageList::reload(const Dpi& dpi) {
  const int wanted = dpi.px(16);
  const int step = wanted >= 32 ? 2 : (wanted >= 24 ? 1 : 0);
  size_ = 16 + 8 * step;
  resource_ = firstResource_ + step;
  auto* bitmap = static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resource_),
                                                 IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  if (bitmap == nullptr) {
    throw std::runtime_error("The program's pictures are missing from its resources (bitmap " +
                             std::to_string(firstResource_ + step) + ").");
  }
  HIMAGELIST list = ImageList_Create(size_, size_, ILC_COLOR32, count_, 0);
  if (list != nullptr) ImageList_Add(list, bitmap, nullptr);
  DeleteObject(bitmap);
  if (list == nullptr) throw std::runtime_error("Cannot make an image list.");
  if (handle_ != nullptr) ImageList_Destroy(handle_);
  handle_ = list;
}

BitmapHandle ImageList::copyBitmap(int index) const {
  if (index < 0 || index >= count_) return nullptr;
  auto* strip = static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resource_),
                                                IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  if (strip == nullptr) return nullptr;
  DIBSECTION section{};
  GetObjectW(strip, sizeof section, &section);
  const auto* from = static_cast<const std::uint8_t*>(section.dsBm.bmBits);
  const int stripWidth = section.dsBm.bmWidth, stripHeight = section.dsBm.bmHeight;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = size_;
  info.bmiHeader.biHeight = -size_;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP copy = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (copy != nullptr && from != nullptr && section.dsBm.bmBitsPixel == 32 && stripHeight >= size_) {
    auto* to = static_cast<std::uint8_t*>(bits);
    for (int y = 0; y < size_; ++y) {
      // The strip is stored bottom row first.
      const std::uint8_t* row = from + static_cast<std::size_t>(stripHeight - 1 - y) * stripWidth * 4;
      for (int x = 0; x < size_; ++x) {
        const std::uint8_t* pixel = row + static_cast<std::size_t>(index * size_ + x) * 4;
        std::uint8_t* out = to + (static_cast<std::size_t>(y) * size_ + x) * 4;
        const unsigned alpha = pixel[3];
        for (int c = 0; c < 3; ++c) out[c] = static_cast<std::uint8_t>(pixel[c] * alpha / 255);
        out[3] = static_cast<std::uint8_t>(alpha);
      }
    }
  }
  DeleteObject(strip);
  return copy;
}

ImageListHandle systemSmallIcons(std::string_view systemDriveRoot) {
  tw::win32::ensureCom();
  const std::wstring root = wide(systemDriveRoot);
  SHFILEINFOW info{};
  return reinterpret_cast<HIMAGELIST>(
      SHGetFileInfoW(root.c_str(), 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
}

int systemImage(int icon) { return icon > 0 ? Win32Platform::systemImageIndex(icon) : I_IMAGENONE; }

}  // namespace tw::win
