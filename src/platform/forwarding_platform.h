#pragma once

#include <utility>

#include "platform/platform.h"

namespace tw {

// A platform that hands every call to another one. Derive from it to change a few answers
// (the headless recorder's own drive list, for one) and keep the rest. Same threading as the
// platform it wraps.
class ForwardingPlatform : public Platform {
 public:
  explicit ForwardingPlatform(Platform& base) : base(base) {}

  PathStyle pathStyle() const override { return base.pathStyle(); }
  std::vector<DriveInfo> drives() override { return base.drives(); }
  std::optional<std::string> fileSystemName(std::string_view root) override {
    return base.fileSystemName(root);
  }
  std::optional<DiskSpace> diskSpace(std::string_view path) override { return base.diskSpace(path); }
  std::string systemDirectory() override { return base.systemDirectory(); }
  std::optional<std::string> systemDriveRoot() override { return base.systemDriveRoot(); }
  int fileTypeIconIndex(std::string_view name) override { return base.fileTypeIconIndex(name); }
  int pathIconIndex(std::string_view path) override { return base.pathIconIndex(path); }
  std::string iconName(int index) override { return base.iconName(index); }
  void shellOpen(std::string_view target) override { base.shellOpen(target); }
  std::optional<std::string> computerName() override { return base.computerName(); }
  std::string timeOfDay() override { return base.timeOfDay(); }
  std::string writeFileAtomically(std::string_view path, std::string_view bytes) override {
    return base.writeFileAtomically(path, bytes);
  }
  FileRead readFileContent(std::string_view path,
                           const std::function<void(std::string_view)>& sink) override {
    return base.readFileContent(path, sink);
  }
  bool fileExists(std::string_view path) override { return base.fileExists(path); }
  FileRead folderNames(std::string_view folder, std::vector<std::string>& names) override {
    return base.folderNames(folder, names);
  }
  std::string toReportEncoding(std::string_view utf8) override { return base.toReportEncoding(utf8); }
  std::string readProfileString(std::string_view path, std::string_view section, std::string_view key,
                                std::string_view defaultValue) override {
    return base.readProfileString(path, section, key, defaultValue);
  }
  std::string writeProfileString(std::string_view path, std::string_view section, std::string_view key,
                                 std::string_view value) override {
    return base.writeProfileString(path, section, key, value);
  }
  void flushProfile(std::string_view path) override { base.flushProfile(path); }
  std::string fileTypeDescription(std::string_view name) override { return base.fileTypeDescription(name); }
  std::string executableDirectory() override { return base.executableDirectory(); }
  bool getShellMalloc() override { return base.getShellMalloc(); }
  ItemIdList parseDisplayName(std::string_view path) override { return base.parseDisplayName(path); }
  void freeIdList(ItemIdList pidl) override { base.freeIdList(pidl); }
  std::string pathFromIdList(ItemIdList pidl) override { return base.pathFromIdList(pidl); }
  std::unique_ptr<NotifyWindow> createNotifyWindow(NotifyHandler handler) override {
    return base.createNotifyWindow(std::move(handler));
  }
  std::uint32_t changeNotifyRegister(NotifyWindow& window, std::int32_t sourceFlags, std::int32_t events,
                                     std::uint32_t message, const NotifyEntry& entry) override {
    return base.changeNotifyRegister(window, sourceFlags, events, message, entry);
  }
  void changeNotifyDeregister(std::uint32_t id) override { base.changeNotifyDeregister(id); }
  std::uint64_t currentThreadId() override { return base.currentThreadId(); }
  bool postThreadMessage(std::uint64_t threadId, std::uint32_t message, std::uintptr_t wParam,
                         std::intptr_t lParam) override {
    return base.postThreadMessage(threadId, message, wParam, lParam);
  }
  void setCurrentThreadPriorityHighest() override { base.setCurrentThreadPriorityHighest(); }
  ChangeProcess notifyProcess(NotifyWindow& window) override { return base.notifyProcess(window); }

  bool iconLookupsOnAnyThread() const override { return base.iconLookupsOnAnyThread(); }
  std::vector<int> pathIconIndexes(const std::vector<std::string_view>& paths) override {
    return base.pathIconIndexes(paths);
  }

 protected:
  Platform& base;
};

}  // namespace tw
