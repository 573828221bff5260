#include "platform/fake/fake_platform.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "core/settings/extensions.h"
#include "core/settings/ini_text.h"

namespace tw {

Result<std::string> FakePlatform::computerName() {
  if (!hostName) return Result<std::string>::failure("no computer name");
  return *hostName;
}

Result<std::string> FakePlatform::systemFolder() {
  if (systemDir.empty()) return Result<std::string>::failure("no system folder");
  return systemDir;
}

Result<std::string> FakePlatform::systemDriveRoot() {
  if (!systemRoot) return Result<std::string>::failure("no system drive");
  return *systemRoot;
}

Result<std::string> FakePlatform::fileSystemName(std::string_view root) {
  auto it = fileSystems.find(root);
  if (it == fileSystems.end() || !it->second)
    return Result<std::string>::failure("no volume at " + std::string(root));
  return *it->second;
}

Result<DiskSpace> FakePlatform::diskSpace(std::string_view path) {
  auto it = spaces.find(path);
  if (it == spaces.end()) return Result<DiskSpace>::failure("no volume at " + std::string(path));
  return it->second;
}

int FakePlatform::fileTypeIcon(std::string_view name) {
  const auto sep = name.find_last_of(style == PathStyle::Windows ? "\\:" : "/");
  const std::string_view last = sep == std::string_view::npos ? name : name.substr(sep + 1);
  const auto dot = last.rfind('.');
  if (dot == std::string_view::npos) return unknownTypeIcon;
  std::string ext(last.substr(dot));
  for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  auto it = typeIcons.find(ext);
  return it == typeIcons.end() ? unknownTypeIcon : it->second;
}

int FakePlatform::pathIcon(std::string_view path) {
  auto it = objectIcons.find(path);
  return it == objectIcons.end() ? 0 : it->second;
}

std::string FakePlatform::iconName(int index) { return index > 0 ? "icon-" + std::to_string(index) : ""; }

void FakePlatform::open(std::string_view target) {
  std::lock_guard guard(recordLock);
  openedTargets.emplace_back(target);
}

Status FakePlatform::writeFileAtomically(std::string_view path, std::string_view bytes) {
  if (auto refused = refuseWrites.find(path); refused != refuseWrites.end())
    return Status::failure(refused->second);
  const std::filesystem::path target{std::string(path)};
  std::filesystem::path temp = target;
  temp += ".tmp-fake";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) {
      std::error_code ignored;
      std::filesystem::remove(temp, ignored);
      return Status::failure("Cannot write " + std::string(path));
    }
  }
  std::error_code ec;
  std::filesystem::rename(temp, target, ec);
  if (ec) {
    std::filesystem::remove(temp, ec);
    return Status::failure("Cannot replace " + std::string(path));
  }
  return {};
}

Files::ReadResult FakePlatform::readFileContent(std::string_view path,
                                                const std::function<void(std::string_view)>& sink) {
  if (unreadableFiles.contains(path)) return ReadResult::Unreadable;
  // An in-memory INI file is a file too (the recorder checks that a named settings file can be
  // read before it reads its keys).
  std::optional<std::string> content = profileText(path);
  if (auto it = fakeFiles.find(path); !content && it != fakeFiles.end()) content = it->second;
  if (content) {
    // Two chunks when there is more than one byte, so that callers must join chunks.
    const std::string_view bytes = *content;
    const std::size_t half = bytes.size() / 2;
    if (half > 0) sink(bytes.substr(0, half));
    if (bytes.size() > half) sink(bytes.substr(half));
    return ReadResult::Done;
  }
  std::error_code ec;
  const std::filesystem::path real{std::string(path)};
  if (path.empty() || !std::filesystem::is_regular_file(real, ec)) return ReadResult::Missing;
  std::ifstream in(real, std::ios::binary);
  if (!in) return ReadResult::Unreadable;
  char buffer[4096];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    sink(std::string_view(buffer, static_cast<std::size_t>(in.gcount())));
  }
  return in.bad() ? ReadResult::Unreadable : ReadResult::Done;
}

bool FakePlatform::fileExists(std::string_view path) {
  if (unreadableFiles.contains(path) || fakeFiles.contains(path) || profileText(path)) return true;
  std::error_code ec;
  return !path.empty() && std::filesystem::is_regular_file(std::filesystem::path{std::string(path)}, ec);
}

std::string FakePlatform::toReportEncoding(std::string_view utf8) {
  std::string text(utf8);
  if (ansiReport) {
    std::string out;
    for (const char ch : text) {
      const auto c = static_cast<unsigned char>(ch);
      if (c < 0x80) {
        out.push_back(ch);
      } else if (c >= 0xC0) {
        out.push_back('?');  // one default character for each encoded character
      }
    }
    return out;
  }
  return text;
}

// Settings.

std::optional<std::string> FakePlatform::profileText(std::string_view path) const {
  std::lock_guard guard(recordLock);
  auto it = profileFiles.find(path);
  if (it == profileFiles.end()) return std::nullopt;
  return it->second;
}

void FakePlatform::setProfileText(std::string_view path, std::string text) {
  std::lock_guard guard(recordLock);
  profileFiles.insert_or_assign(std::string(path), std::move(text));
}

int FakePlatform::profileFlushes() const {
  std::lock_guard guard(recordLock);
  return flushes;
}

std::string FakePlatform::readString(std::string_view path, std::string_view section, std::string_view key,
                                     std::string_view defaultValue) {
  const auto text = profileText(path);
  if (!text) return std::string(defaultValue);
  return iniReadValue(*text, section, key).value_or(std::string(defaultValue));
}

Status FakePlatform::writeString(std::string_view path, std::string_view section, std::string_view key,
                                 std::string_view value) {
  if (auto refused = refuseWrites.find(path); refused != refuseWrites.end())
    return Status::failure(refused->second);
  if (const std::string bad = iniCheckEntry(section, key, value); !bad.empty()) {
    return Status::failure("Cannot write " + std::string(path) + ": " + bad);
  }
  std::lock_guard guard(recordLock);
  std::string& text = profileFiles[std::string(path)];
  text = iniWriteValue(text, section, key, value);
  return {};
}

void FakePlatform::flush(std::string_view) {
  std::lock_guard guard(recordLock);
  ++flushes;
}

std::string FakePlatform::fileTypeDescription(std::string_view name) {
  const auto dot = name.rfind('.');
  if (dot != std::string_view::npos) {
    std::string ext(name.substr(dot));
    for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    if (auto it = typeDescriptions.find(ext); it != typeDescriptions.end()) return it->second;
  }
  return genericFileTypeDescription(name);
}

std::vector<std::string> FakePlatform::opened() const {
  std::lock_guard guard(recordLock);
  return openedTargets;
}

// Change capture (scripted).

namespace {

struct FakeIdList {
  static constexpr std::uint32_t kMagic = 0x46414b45;
  std::uint32_t magic = kMagic;
  std::string path;
};

const FakeIdList* asList(ItemIdList pidl) {
  const auto* list = static_cast<const FakeIdList*>(pidl);
  return list != nullptr && list->magic == FakeIdList::kMagic ? list : nullptr;
}

}  // namespace

// The hidden window of one thread: takes the thread's queued messages in order.
class FakeNotifyWindow : public NotifyWindow {
 public:
  FakeNotifyWindow(FakePlatform& platform, NotifyHandler handler, std::uint64_t threadId,
                   std::shared_ptr<FakePlatform::ThreadQueue> queue)
      : platform(platform), handler(std::move(handler)), threadId(threadId), queue(std::move(queue)) {}

  ~FakeNotifyWindow() override {
    std::lock_guard guard(platform.notifyLock);
    if (--platform.windowsOfThread[threadId] == 0) {
      platform.windowsOfThread.erase(threadId);
      platform.queues.erase(threadId);
    }
    platform.notifyChanged.notify_all();
  }

  std::int32_t getMessage(ThreadMessage& msg) override {
    std::unique_lock guard(platform.notifyLock);
    queue->ready.wait(guard, [&] { return !queue->messages.empty(); });
    FakePlatform::QueuedMessage entry = std::move(queue->messages.front());
    queue->messages.pop_front();
    if (entry.result <= 0) return entry.result;
    msg = entry.msg;
    if (entry.shellNotify) {
      items[0].path = std::move(entry.path1);
      items[1].path = std::move(entry.path2);
      pointers[0] = &items[0];
      pointers[1] = items[1].path.empty() ? nullptr : &items[1];
      msg.wParam = reinterpret_cast<std::uintptr_t>(pointers);
    }
    return 1;
  }

  void dispatchMessage(const ThreadMessage& msg) override {
    if (msg.forWindow && handler) handler(msg);
  }

  const std::uint64_t& thread() const { return threadId; }

 private:
  FakePlatform& platform;
  NotifyHandler handler;
  std::uint64_t threadId;
  std::shared_ptr<FakePlatform::ThreadQueue> queue;
  FakeIdList items[2];
  ItemIdList pointers[2] = {nullptr, nullptr};
};

bool FakePlatform::getShellMalloc() { return !shellMallocFails; }

ItemIdList FakePlatform::parseDisplayName(std::string_view path) {
  std::lock_guard guard(notifyLock);
  notifyLog.push_back("parse " + std::string(path));
  if (parseablePaths.find(path) == parseablePaths.end()) return nullptr;
  ++allocated;
  auto* list = new FakeIdList;
  list->path = std::string(path);
  return list;
}

void FakePlatform::freeIdList(ItemIdList pidl) {
  const FakeIdList* list = asList(pidl);
  if (list == nullptr) return;
  std::lock_guard guard(notifyLock);
  notifyLog.push_back("free " + list->path);
  ++freed;
  const_cast<FakeIdList*>(list)->magic = 0;
  delete list;
}

std::string FakePlatform::pathFromIdList(ItemIdList pidl) {
  const FakeIdList* list = asList(pidl);
  return list == nullptr ? std::string() : list->path;
}

std::unique_ptr<NotifyWindow> FakePlatform::createNotifyWindow(NotifyHandler handler) {
  const std::uint64_t thread = currentThreadId();
  std::shared_ptr<ThreadQueue> queue;
  {
    std::lock_guard guard(notifyLock);
    auto& slot = queues[thread];
    if (!slot) slot = std::make_shared<ThreadQueue>();
    queue = slot;
    ++windowsOfThread[thread];
    notifyChanged.notify_all();
  }
  return std::make_unique<FakeNotifyWindow>(*this, std::move(handler), thread, std::move(queue));
}

std::uint32_t FakePlatform::changeNotifyRegister(NotifyWindow& window, std::int32_t sourceFlags,
                                                 std::int32_t events, std::uint32_t message,
                                                 const NotifyEntry& entry) {
  auto* fakeWindow = dynamic_cast<FakeNotifyWindow*>(&window);
  if (fakeWindow == nullptr) throw std::logic_error("changeNotifyRegister: not a window of this platform");
  std::lock_guard guard(notifyLock);
  if (registerFails) {
    notifyLog.push_back("register failed");
    return 0;
  }
  NotifyRegistration record;
  record.id = nextRegistration++;
  record.threadId = fakeWindow->thread();
  record.sourceFlags = sourceFlags;
  record.events = events;
  record.message = message;
  record.path = pathFromIdList(entry.pidl);
  record.fRecursive = entry.fRecursive;
  notifyLog.push_back("register " + std::to_string(record.id) + " " + record.path);
  notifyRecords.push_back(record);
  notifyChanged.notify_all();
  return record.id;
}

void FakePlatform::changeNotifyDeregister(std::uint32_t id) {
  std::lock_guard guard(notifyLock);
  notifyLog.push_back("deregister " + std::to_string(id));
  for (auto& r : notifyRecords) {
    if (r.id == id) r.active = false;
  }
}

std::uint64_t FakePlatform::currentThreadId() {
  static std::atomic<std::uint64_t> next{1000};
  thread_local const std::uint64_t id = next++;
  return id;
}

bool FakePlatform::enqueue(std::uint64_t threadId, QueuedMessage&& entry) {
  std::lock_guard guard(notifyLock);
  auto it = queues.find(threadId);
  if (it == queues.end()) return false;
  it->second->messages.push_back(std::move(entry));
  it->second->ready.notify_all();
  return true;
}

bool FakePlatform::postThreadMessage(std::uint64_t threadId, std::uint32_t message, std::uintptr_t wParam,
                                     std::intptr_t lParam) {
  QueuedMessage entry;
  entry.msg = ThreadMessage{message, wParam, lParam, false};
  entry.result = message == 0x0012 ? 0 : 1;  // WM_QUIT ends the loop as on every platform
  return enqueue(threadId, std::move(entry));
}

bool FakePlatform::injectShellNotify(std::uint32_t id, std::uint32_t bit, std::string path1,
                                     std::string path2) {
  std::uint64_t thread = 0;
  QueuedMessage entry;
  {
    std::lock_guard guard(notifyLock);
    auto it = std::find_if(notifyRecords.begin(), notifyRecords.end(),
                           [id](const NotifyRegistration& r) { return r.id == id && r.active; });
    if (it == notifyRecords.end()) return false;
    thread = it->threadId;
    entry.msg = ThreadMessage{it->message, 0, static_cast<std::intptr_t>(bit), true};
  }
  entry.shellNotify = true;
  entry.path1 = std::move(path1);
  entry.path2 = std::move(path2);
  return enqueue(thread, std::move(entry));
}

bool FakePlatform::injectWindowMessage(std::uint64_t threadId, std::uint32_t message, std::uintptr_t wParam,
                                       std::intptr_t lParam) {
  QueuedMessage entry;
  entry.msg = ThreadMessage{message, wParam, lParam, true};
  return enqueue(threadId, std::move(entry));
}

bool FakePlatform::injectGetMessageResult(std::uint64_t threadId, std::int32_t result) {
  QueuedMessage entry;
  entry.result = result;
  return enqueue(threadId, std::move(entry));
}

void FakePlatform::setCurrentThreadPriorityHighest() {
  std::lock_guard guard(notifyLock);
  ++raises;
}

int FakePlatform::priorityRaises() const {
  std::lock_guard guard(notifyLock);
  return raises;
}

std::vector<FakePlatform::NotifyRegistration> FakePlatform::registrations() const {
  std::lock_guard guard(notifyLock);
  return notifyRecords;
}

std::vector<std::string> FakePlatform::notifyCalls() const {
  std::lock_guard guard(notifyLock);
  return notifyLog;
}

int FakePlatform::idListsAllocated() const {
  std::lock_guard guard(notifyLock);
  return allocated;
}

int FakePlatform::idListsFreed() const {
  std::lock_guard guard(notifyLock);
  return freed;
}

int FakePlatform::liveWindows() const {
  std::lock_guard guard(notifyLock);
  int n = 0;
  for (const auto& [thread, count] : windowsOfThread) n += count;
  return n;
}

bool FakePlatform::waitForRegistrations(std::size_t count, std::chrono::milliseconds timeout) const {
  std::unique_lock guard(notifyLock);
  return notifyChanged.wait_for(guard, timeout, [&] { return notifyRecords.size() >= count; });
}

bool FakePlatform::waitForWindow(std::chrono::milliseconds timeout, std::uint64_t* threadId) const {
  std::unique_lock guard(notifyLock);
  const bool found = notifyChanged.wait_for(guard, timeout, [&] { return !windowsOfThread.empty(); });
  if (found && threadId != nullptr) *threadId = windowsOfThread.begin()->first;
  return found;
}

}  // namespace tw
