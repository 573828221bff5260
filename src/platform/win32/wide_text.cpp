#include "platform/win32/wide_text.h"

#include <cstdint>

#include "core/text/utf8.h"

namespace tw::win32 {

std::wstring widen(std::string_view utf8) {
  std::wstring out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(utf8[k]); };
  while (i < utf8.size()) {
    const unsigned char b0 = byte(i);
    std::uint32_t cp = 0xFFFD;
    std::size_t len = 1;
    if (b0 < 0x80) {
      cp = b0;
    } else {
      std::size_t need = 0;
      std::uint32_t value = 0;
      if (b0 >= 0xC2 && b0 <= 0xDF) {
        need = 2;
        value = b0 & 0x1F;
      } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        need = 3;
        value = b0 & 0x0F;
      } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        need = 4;
        value = b0 & 0x07;
      }
      bool ok = need != 0 && i + need <= utf8.size();
      for (std::size_t k = 1; ok && k < need; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) ok = false;
        value = (value << 6) | (byte(i + k) & 0x3F);
      }
      // Surrogates are allowed here (lone ones from Windows names); overlong forms are not.
      if (ok && ((need == 3 && value < 0x800) || (need == 4 && (value < 0x10000 || value > 0x10FFFF))))
        ok = false;
      if (ok) {
        cp = value;
        len = need;
      }
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<wchar_t>(cp));
    }
    i += len;
  }
  return out;
}

std::string narrow(std::wstring_view utf16) {
  std::string out;
  out.reserve(utf16.size());
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    std::uint32_t cp = static_cast<std::uint16_t>(utf16[i]);
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < utf16.size()) {
      const std::uint32_t low = static_cast<std::uint16_t>(utf16[i + 1]);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      }
    }
    appendUtf8(out, cp);
  }
  return out;
}

}  // namespace tw::win32
