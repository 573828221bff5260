#include "win/main/filter_box.h"

// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "core/text/numbers.h"

namespace tw::win {

namespace {

constexpr wchar_t kCue[] = L"Filter: path, new path, action or process (* and ? allowed)";

}  // namespace

FilterBox::FilterBox(WindowHandle parent) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  edit_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", WS_CHILD | WS_TABSTOP | ES_AUTOHSCROLL, 0, 0, 0, 0,
                          parent, nullptr, instance, nullptr);
  count_ = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | SS_RIGHT | SS_CENTERIMAGE | SS_NOPREFIX, 0, 0, 0, 0,
                           parent, nullptr, instance, nullptr);
  if (edit_ == nullptr || count_ == nullptr) throw std::runtime_error("The filter box could not be created.");
  // The hint shows while the box is empty (a no-op where the system's edit control lacks it).
  SendMessageW(edit_, EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(kCue));
}

FilterBox::~FilterBox() {
  for (HWND window : {edit_, count_}) {
    if (IsWindow(window)) DestroyWindow(window);
  }
}

bool FilterBox::isShown() const { return (GetWindowLongPtrW(edit_, GWL_STYLE) & WS_VISIBLE) != 0; }

std::string FilterBox::text() const {
  std::vector<wchar_t> buffer(static_cast<std::size_t>(GetWindowTextLengthW(edit_)) + 1, L'\0');
  GetWindowTextW(edit_, buffer.data(), static_cast<int>(buffer.size()));
  return narrow(buffer.data());
}

void FilterBox::showCount(std::uint64_t shown, std::uint64_t total) {
  const std::string text = withThousandsSeparators(shown) + " of " + withThousandsSeparators(total);
  SetWindowTextW(count_, wide(text).c_str());
}

void FilterBox::open() {
  ShowWindow(edit_, SW_SHOWNA);
  ShowWindow(count_, SW_SHOWNA);
  SetFocus(edit_);
  SendMessageW(edit_, EM_SETSEL, 0, -1);
}

void FilterBox::close() {
  SetWindowTextW(edit_, L"");
  // The focus leaves a box that is going: its parent gives it to the view shown.
  ShowWindow(edit_, SW_HIDE);
  ShowWindow(count_, SW_HIDE);
}

void FilterBox::setFont(FontHandle font) {
  SendMessageW(edit_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  SendMessageW(count_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  HDC dc = GetDC(edit_);
  HGDIOBJ before = SelectObject(dc, font);
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  SIZE extent{};
  // Room for the widest count likely: two numbers in the millions.
  GetTextExtentPoint32W(dc, L"0,000,000 of 0,000,000", 22, &extent);
  SelectObject(dc, before);
  ReleaseDC(edit_, dc);
  height_ = metrics.tmHeight + 2 * GetSystemMetrics(SM_CYEDGE) + 4;
  countWidth_ = extent.cx;
}

void FilterBox::place(const Bounds& bounds, int gap) {
  const int countWidth = std::min(countWidth_, std::max(0, bounds.width / 2));
  const int editWidth = std::max(0, bounds.width - countWidth - gap);
  MoveWindow(edit_, bounds.left, bounds.top, editWidth, bounds.height, TRUE);
  MoveWindow(count_, bounds.left + editWidth + gap, bounds.top, countWidth, bounds.height, TRUE);
}

}  // namespace tw::win
