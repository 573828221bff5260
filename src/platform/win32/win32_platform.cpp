#include "platform/win32/win32_platform.h"

// clang-format off
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
// clang-format on

#include <algorithm>
#include <unordered_map>

#include "core/settings/extensions.h"
#include "core/settings/ini_text.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_support.h"

namespace tw {

using win32::ensureCom;
using win32::narrow;
using win32::systemMessage;
using win32::widen;

std::vector<DriveInfo> Win32Platform::drives() {
  std::vector<DriveInfo> result;
  const DWORD mask = GetLogicalDrives();
  for (int bit = 0; bit < 26; ++bit) {
    if ((mask & (1u << bit)) == 0) continue;
    const std::string root = std::string(1, static_cast<char>('A' + bit)) + ":\\";
    const UINT type = GetDriveTypeW(widen(root).c_str());
    result.push_back({root, type <= 6 ? static_cast<DriveType>(type) : DriveType::Unknown});
  }
  return result;
}

Result<std::string> Win32Platform::fileSystemName(std::string_view root) {
  wchar_t name[MAX_PATH + 1] = {};
  DWORD maxComponent = 0;
  DWORD flags = 0;
  if (!GetVolumeInformationW(widen(root).c_str(), nullptr, 0, nullptr, &maxComponent, &flags, name,
                             MAX_PATH + 1)) {
    return Result<std::string>::failure("Cannot read the volume " + std::string(root) + ": " +
                                        systemMessage(GetLastError()));
  }
  return narrow(name);
}

Result<DiskSpace> Win32Platform::diskSpace(std::string_view path) {
  ULARGE_INTEGER freeToCaller{};
  ULARGE_INTEGER total{};
  if (!GetDiskFreeSpaceExW(widen(path).c_str(), &freeToCaller, &total, nullptr)) {
    return Result<DiskSpace>::failure("Cannot read the size of " + std::string(path) + ": " +
                                      systemMessage(GetLastError()));
  }
  return DiskSpace{static_cast<std::int64_t>(total.QuadPart),
                   static_cast<std::int64_t>(freeToCaller.QuadPart)};
}

Result<std::string> Win32Platform::systemFolder() {
  wchar_t dir[MAX_PATH] = {};
  const UINT n = GetWindowsDirectoryW(dir, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) {
    return Result<std::string>::failure("Cannot find the Windows folder: " + systemMessage(GetLastError()));
  }
  return narrow(std::wstring_view(dir, n));
}

Result<std::string> Win32Platform::systemDriveRoot() {
  wchar_t dir[MAX_PATH] = {};
  const UINT n = GetWindowsDirectoryW(dir, MAX_PATH);
  if (n < 2 || n >= MAX_PATH) {
    return Result<std::string>::failure("Cannot find the Windows folder: " + systemMessage(GetLastError()));
  }
  return narrow(std::wstring_view(dir, 2)) + "\\";
}

namespace {

// The extension of the last segment of a name or path, in ASCII lower case; empty for none.
std::string lowerExtension(std::string_view name) {
  const std::size_t segment = name.find_last_of("\\/:");
  if (segment != std::string_view::npos) name.remove_prefix(segment + 1);
  const std::size_t dot = name.rfind('.');
  std::string extension(dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1));
  for (char& c : extension) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return extension;
}

// Types whose icon the shell may take from the file itself rather than from the type.
bool hasIconOfItsOwn(std::string_view extension) {
  static constexpr std::string_view kOwn[] = {"exe", "ico", "cur", "ani", "lnk", "url", "pif", "scr", "cpl"};
  return std::find(std::begin(kOwn), std::end(kOwn), extension) != std::end(kOwn);
}

}  // namespace

int Win32Platform::fileTypeIcon(std::string_view name) {
  const std::string extension = lowerExtension(name);
  const bool keep = !hasIconOfItsOwn(extension);
  if (keep) {
    const std::lock_guard lock(typeIconsLock);
    if (const auto known = typeIcons.find(extension); known != typeIcons.end()) return known->second;
  }
  const int icon = shellTypeIcon(name);
  if (keep && icon != 0) {
    const std::lock_guard lock(typeIconsLock);
    typeIcons.emplace(extension, icon);
  }
  return icon;
}

int Win32Platform::shellTypeIcon(std::string_view name) {
  ensureCom();
  SHFILEINFOW info{};
  if (SHGetFileInfoW(widen(name).c_str(), FILE_ATTRIBUTE_NORMAL, &info, sizeof info,
                     SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES) == 0)
    return 0;
  return info.iIcon + 1;
}

int Win32Platform::shellIcon(std::string_view path) {
  ensureCom();
  SHFILEINFOW info{};
  if (SHGetFileInfoW(widen(path).c_str(), 0, &info, sizeof info, SHGFI_SYSICONINDEX) == 0) return 0;
  return info.iIcon + 1;
}

namespace {

// Whether `path` names a volume's root ("C:", "C:\\", "\\\\server\\share\\"), whose icon is the drive's.
bool isVolumeRoot(std::wstring_view path) {
  while (!path.empty() && (path.back() == L'\\' || path.back() == L'/')) path.remove_suffix(1);
  if (path.size() == 2 && path[1] == L':') return true;
  if (path.size() > 2 && path[0] == L'\\' && path[1] == L'\\') {
    const std::size_t server = path.find(L'\\', 2);
    return server == std::wstring_view::npos || path.find(L'\\', server + 1) == std::wstring_view::npos;
  }
  return false;
}

// The path whose attributes pathIcon asks: a tree node's path ends with a separator, also for a
// file, and the attributes are asked without it.
std::wstring attributesPath(std::string_view path) {
  std::wstring wide = widen(path);
  while (wide.size() > 1 && (wide.back() == L'\\' || wide.back() == L'/') &&
         !isVolumeRoot(wide.substr(0, wide.size() - 1)))
    wide.pop_back();
  return wide;
}

}  // namespace

int Win32Platform::pathIcon(std::string_view path) {
  const std::wstring wide = attributesPath(path);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  // Nothing there: the shell would have no icon either (and takes as long to say so).
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return 0;
    return shellIcon(path);
  }
  return iconOf(path, wide, attributes);
}

int Win32Platform::iconOf(std::string_view path, std::wstring_view wide, unsigned long attributes) {
  constexpr DWORD kOwnIcon = FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_REPARSE_POINT;
  const bool ordinaryFolder =
      (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && (attributes & kOwnIcon) == 0 && !isVolumeRoot(wide);
  if (!ordinaryFolder) return shellIcon(path);
  int plain = plainFolderIcon.load(std::memory_order_relaxed);
  if (plain == 0) {
    ensureCom();
    SHFILEINFOW info{};
    if (SHGetFileInfoW(L"folder", FILE_ATTRIBUTE_DIRECTORY, &info, sizeof info,
                       SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES) == 0)
      return shellIcon(path);
    plain = info.iIcon + 1;
    plainFolderIcon.store(plain, std::memory_order_relaxed);
  }
  return plain;
}

std::string Win32Platform::iconName(int index) {
  return index > 0 ? std::to_string(systemImageIndex(index)) : std::string();
}

void Win32Platform::open(std::string_view target) {
  ensureCom();
  ShellExecuteW(nullptr, L"open", widen(target).c_str(), nullptr, nullptr, SW_SHOW);
}

Result<std::string> Win32Platform::computerName() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  if (!GetComputerNameW(name, &size) || size == 0) {
    return Result<std::string>::failure("Cannot read the computer's name: " + systemMessage(GetLastError()));
  }
  return narrow(std::wstring_view(name, size));
}

std::string Win32Platform::timeOfDay(std::chrono::system_clock::time_point moment) {
  // The moment as a FILETIME (100 ns since 1601), then as local time.
  const auto since1970 =
      std::chrono::duration_cast<std::chrono::microseconds>(moment.time_since_epoch()).count();
  const ULONGLONG ticks = static_cast<ULONGLONG>(since1970) * 10ULL + 116444736000000000ULL;
  FILETIME utc{static_cast<DWORD>(ticks & 0xFFFFFFFFULL), static_cast<DWORD>(ticks >> 32)};
  FILETIME local{};
  SYSTEMTIME shown{};
  if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &shown)) return {};
  wchar_t text[128] = {};
  const int n = GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &shown, nullptr, text, 128);
  return n > 1 ? narrow(std::wstring_view(text, static_cast<std::size_t>(n - 1))) : std::string();
}

Status Win32Platform::writeFileAtomically(std::string_view path, std::string_view bytes) {
  const std::wstring target = widen(path);
  const std::wstring temp = target + L".tarnwatch-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                            std::to_wstring(GetCurrentThreadId());
  const auto fail = [&](const char* what, DWORD code) {
    return Status::failure("Cannot " + std::string(what) + " " + std::string(path) + ": " +
                           systemMessage(code));
  };
  HANDLE file =
      CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return fail("write", GetLastError());
  std::size_t done = 0;
  while (done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0) {
      const DWORD code = GetLastError();
      CloseHandle(file);
      DeleteFileW(temp.c_str());
      return fail("write", code);
    }
    done += written;
  }
  if (!FlushFileBuffers(file)) {
    const DWORD code = GetLastError();
    CloseHandle(file);
    DeleteFileW(temp.c_str());
    return fail("write", code);
  }
  CloseHandle(file);
  if (!MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD code = GetLastError();
    DeleteFileW(temp.c_str());
    return fail("replace", code);
  }
  return {};
}

// Export report.

Files::ReadResult Win32Platform::readFileContent(std::string_view path,
                                                 const std::function<void(std::string_view)>& sink) {
  const std::wstring wide = widen(path);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (path.empty() || attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return ReadResult::Missing;
  }
  HANDLE file =
      CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? ReadResult::Missing
                                                                        : ReadResult::Unreadable;
  }
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file, &size)) {
    CloseHandle(file);
    return ReadResult::Unreadable;
  }
  if (size.QuadPart == 0) {  // an empty file cannot be mapped; its digest is that of no bytes
    CloseHandle(file);
    return ReadResult::Done;
  }
  HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  if (mapping == nullptr) {
    CloseHandle(file);
    return ReadResult::Unreadable;
  }
  // The file is mapped a window at a time, so files of any size fit in the address space.
  SYSTEM_INFO system{};
  GetSystemInfo(&system);
  const std::uint64_t window = std::max<std::uint64_t>(system.dwAllocationGranularity, 64ull << 20) /
                               system.dwAllocationGranularity * system.dwAllocationGranularity;
  const auto total = static_cast<std::uint64_t>(size.QuadPart);
  ReadResult result = ReadResult::Done;
  for (std::uint64_t offset = 0; offset < total; offset += window) {
    const std::size_t length = static_cast<std::size_t>(std::min(window, total - offset));
    const void* view = MapViewOfFile(mapping, FILE_MAP_READ, static_cast<DWORD>(offset >> 32),
                                     static_cast<DWORD>(offset & 0xFFFFFFFFu), length);
    if (view == nullptr) {
      result = ReadResult::Unreadable;
      break;
    }
    sink(std::string_view(static_cast<const char*>(view), length));
    UnmapViewOfFile(view);
  }
  CloseHandle(mapping);
  CloseHandle(file);
  return result;
}

bool Win32Platform::fileExists(std::string_view path) {
  if (path.empty()) return false;
  const DWORD attributes = GetFileAttributesW(widen(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::string Win32Platform::toReportEncoding(std::string_view utf8) {
  const std::wstring wide = widen(utf8);
  if (wide.empty()) return {};
  const int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                    nullptr, nullptr);
  std::string out(static_cast<std::size_t>(std::max(n, 0)), '\0');
  if (n > 0) {
    WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr,
                        nullptr);
  }
  return out;
}

// Settings.

std::string Win32Platform::readString(std::string_view path, std::string_view section, std::string_view key,
                                      std::string_view defaultValue) {
  const std::wstring file = widen(path);
  const std::wstring sectionW = widen(section);
  const std::wstring keyW = widen(key);
  const std::wstring fallback = widen(defaultValue);
  // The call cuts a value to the buffer; a value that filled it is read again with more room,
  // so values of any length come back whole.
  std::wstring buffer(4096, L'\0');
  for (;;) {
    const DWORD n = GetPrivateProfileStringW(sectionW.c_str(), keyW.c_str(), fallback.c_str(), buffer.data(),
                                             static_cast<DWORD>(buffer.size()), file.c_str());
    if (n + 1 < buffer.size() || buffer.size() >= (1u << 26))
      return narrow(std::wstring_view(buffer.data(), n));
    buffer.resize(buffer.size() * 4);
  }
}

Status Win32Platform::writeString(std::string_view path, std::string_view section, std::string_view key,
                                  std::string_view value) {
  if (const std::string refused = iniCheckEntry(section, key, value); !refused.empty()) {
    return Status::failure("Cannot write " + std::string(path) + ": " + refused);
  }
  if (!WritePrivateProfileStringW(widen(section).c_str(), widen(key).c_str(), widen(value).c_str(),
                                  widen(path).c_str())) {
    return Status::failure("Cannot write " + std::string(path) + ": " + systemMessage(GetLastError()));
  }
  return {};
}

void Win32Platform::flush(std::string_view path) {
  WritePrivateProfileStringW(nullptr, nullptr, nullptr, widen(path).c_str());
}

std::string Win32Platform::fileTypeDescription(std::string_view name) {
  ensureCom();
  SHFILEINFOW info{};
  if (SHGetFileInfoW(widen(name).c_str(), FILE_ATTRIBUTE_NORMAL, &info, sizeof info,
                     SHGFI_TYPENAME | SHGFI_USEFILEATTRIBUTES) != 0 &&
      info.szTypeName[0] != L'\0') {
    return narrow(info.szTypeName);
  }
  return genericFileTypeDescription(name);
}

Result<std::string> Win32Platform::executableDirectory() {
  const auto failed = [] {
    return Result<std::string>::failure("Cannot find the program's folder: " + systemMessage(GetLastError()));
  };
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return failed();
    if (n < buffer.size()) {
      buffer.resize(n);
      break;
    }
    if (buffer.size() >= 32768) return failed();
    buffer.resize(buffer.size() * 2);
  }
  const auto slash = buffer.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return failed();
  return narrow(std::wstring_view(buffer.data(), slash + 1));
}

void Win32Platform::announceChange(std::uint32_t eventBit, std::string_view path1, std::string_view path2) {
  ensureCom();
  const std::wstring first = widen(path1);
  const std::wstring second = widen(path2);
  SHChangeNotify(static_cast<LONG>(eventBit), SHCNF_PATHW | SHCNF_FLUSH, first.c_str(),
                 path2.empty() ? nullptr : second.c_str());
}

Platform systemPlatform() {
  static Win32Platform platform;
  return platform.parts();
}

}  // namespace tw
