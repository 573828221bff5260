#pragma once

#include <cstdint>

// The Windows handle types, declared exactly as <windows.h> declares them (strict handles), so
// that the front end's headers can name them without including a Windows header; only the .cpp
// files include <windows.h>.
struct HWND__;
struct HDC__;
struct HFONT__;
struct HICON__;
struct HMENU__;
struct HBRUSH__;
struct HBITMAP__;
struct HACCEL__;
struct _IMAGELIST;
struct tagMSG;

namespace tw::win {

using WindowHandle = HWND__*;
using DeviceContext = HDC__*;
using FontHandle = HFONT__*;
using IconHandle = HICON__*;
using MenuHandle = HMENU__*;
using BrushHandle = HBRUSH__*;
using BitmapHandle = HBITMAP__*;
using AcceleratorHandle = HACCEL__*;
using ImageListHandle = _IMAGELIST*;
using QueuedMessage = tagMSG;  // MSG

// A window message and its two parameters, as the window procedure receives them (UINT, WPARAM,
// LPARAM), and its result (LRESULT).
using MessageId = std::uint32_t;
using WParam = std::uintptr_t;
using LParam = std::intptr_t;
using MessageResult = std::intptr_t;

}  // namespace tw::win
