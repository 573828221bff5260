#include "platform/win32/win32_support.h"

// clang-format off
#include <windows.h>
#include <objbase.h>
// clang-format on

#include "platform/win32/wide_text.h"

namespace tw::win32 {

void ensureCom() {
  struct ComScope {
    HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    ~ComScope() {
      if (SUCCEEDED(hr)) CoUninitialize();
    }
  };
  thread_local ComScope scope;
}

std::string systemMessage(std::uint32_t code) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string message = n > 0 ? narrow(std::wstring_view(text, n)) : "error " + std::to_string(code);
  if (text != nullptr) LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ')) {
    message.pop_back();
  }
  return message;
}

}  // namespace tw::win32
