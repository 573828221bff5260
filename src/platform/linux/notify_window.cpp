#include "platform/linux/notify_window.h"

#include <cstdio>

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>

#include "core/events/event_kinds.h"
#include "platform/linux/dir_tree.h"
#include "platform/linux/linux_platform.h"

namespace tw {

namespace linuxfs {

namespace {
constexpr std::uint32_t kWmQuit = 0x0012;
constexpr auto kWriteReportInterval = std::chrono::seconds(1);
// After a read that found changes, the loop lets the kernel gather the next ones for this long
// before it looks again: under a burst it then reads thousands of events per wake-up instead of
// a handful, where each wake-up costs more than the events it reads. A posted message (a stop)
// still ends the wait at once.
constexpr int kGatherMs = 10;
}  // namespace

std::uint64_t currentKernelThreadId() { return static_cast<std::uint64_t>(::gettid()); }

ThreadQueue::ThreadQueue() {
  eventFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (eventFd < 0) throw std::runtime_error("Cannot create the thread's message queue (eventfd)");
}

ThreadQueue::~ThreadQueue() { ::close(eventFd); }

void ThreadQueue::post(const ThreadMessage& msg) {
  {
    std::lock_guard guard(lock);
    messages.push_back(msg);
  }
  const std::uint64_t one = 1;
  // The counter cannot overflow in practice; a failed write still leaves the message queued
  // and the next wake-up finds it.
  [[maybe_unused]] const ssize_t n = ::write(eventFd, &one, sizeof one);
}

bool ThreadQueue::tryPop(ThreadMessage& msg) {
  std::lock_guard guard(lock);
  if (messages.empty()) return false;
  msg = messages.front();
  messages.pop_front();
  return true;
}

void ThreadQueue::drainSignal() {
  std::uint64_t count = 0;
  [[maybe_unused]] const ssize_t n = ::read(eventFd, &count, sizeof count);
}

ThreadRegistry& ThreadRegistry::instance() {
  static ThreadRegistry registry;
  return registry;
}

std::shared_ptr<ThreadQueue> ThreadRegistry::queueOfCurrentThread() {
  const std::uint64_t id = currentKernelThreadId();
  std::lock_guard guard(lock);
  if (auto existing = queues[id].lock()) return existing;
  auto created = std::make_shared<ThreadQueue>();
  queues[id] = created;
  // Drop entries of threads whose queues are gone, so the table does not grow with threads.
  std::erase_if(queues, [](const auto& entry) { return entry.second.expired(); });
  return created;
}

bool ThreadRegistry::post(std::uint64_t threadId, const ThreadMessage& msg) {
  std::shared_ptr<ThreadQueue> target;
  {
    std::lock_guard guard(lock);
    auto it = queues.find(threadId);
    if (it == queues.end()) return false;
    target = it->second.lock();
  }
  if (!target) return false;
  target->post(msg);
  return true;
}

Registration::Registration(std::uint32_t id, std::string root, bool recursive, std::int32_t events,
                           std::uint32_t message, Deliver deliver)
    : id(id),
      root(std::move(root)),
      recursive(recursive),
      events(events),
      message(message),
      deliver(std::move(deliver)) {}

bool Registration::covers(const std::string& path) const {
  if (!isSameOrBelowPath(path, root)) return false;
  if (recursive || path.size() == root.size()) return true;
  // Not recursive: the folder and its direct content only.
  const std::size_t start = root == "/" ? 1 : root.size() + 1;
  return path.find('/', start) == std::string::npos;
}

bool Registration::wants(int eventNum) const {
  return (static_cast<std::uint32_t>(events) & eventBit(eventNum)) != 0;
}

void Registration::send(int eventNum, const std::string& path1, const std::string& path2, std::int32_t pid) {
  if (wants(eventNum)) deliver(message, eventBit(eventNum), path1, path2, pid);
}

void Registration::sendIfWanted(int eventNum, const std::string& path1) { send(eventNum, path1, {}, 0); }

void Registration::change(RawChange&& c) {
  switch (c.kind) {
    case RawChange::Created:
      if (covers(c.path)) send(c.isDir ? evMkDir : evCreate, c.path, {}, c.pid);
      break;
    case RawChange::Deleted:
      written.erase(c.path);
      if (covers(c.path)) send(c.isDir ? evRmDir : evDelete, c.path, {}, c.pid);
      break;
    case RawChange::Renamed: {
      const bool from = covers(c.path);
      const bool to = covers(c.path2);
      if (auto w = written.find(c.path); w != written.end()) {
        Written moved = w->second;
        written.erase(w);
        if (to) written[c.path2] = moved;
      }
      if (from && to) {
        send(c.isDir ? evRenameFolder : evRenameItem, c.path, c.path2, c.pid);
      } else if (from) {
        send(c.isDir ? evRmDir : evDelete, c.path, {}, c.pid);
      } else if (to) {
        send(c.isDir ? evMkDir : evCreate, c.path2, {}, c.pid);
      }
      break;
    }
    case RawChange::Attributes:
      if (covers(c.path)) send(evAttributes, c.path, {}, c.pid);
      break;
    case RawChange::Modified:
      if (covers(c.path) && wants(evUpdateItem)) {
        // The first write of a file waits up to a second for its close; a file kept open
        // and written goes on being reported once a second.
        written.try_emplace(c.path, Written{Clock::now() + kWriteReportInterval, c.pid});
      }
      break;
    case RawChange::Closed:
      if (auto w = written.find(c.path); w != written.end()) {
        const std::int32_t pid = c.pid != 0 ? c.pid : w->second.pid;
        written.erase(w);
        send(evUpdateItem, c.path, {}, pid);
      }
      break;
    case RawChange::Lost:
      // Changes were lost: the folder must be read again. Reported whatever the mask, since
      // leaving it out would lose them in silence.
      deliver(message, eventBit(evUpdateDir), root, {}, c.pid);
      break;
  }
}

void Registration::flushDue(Clock::time_point now) {
  std::vector<std::pair<std::string, std::int32_t>> due;
  for (auto it = written.begin(); it != written.end();) {
    if (it->second.due <= now) {
      due.emplace_back(it->first, it->second.pid);
      it = written.erase(it);
    } else {
      ++it;
    }
  }
  std::sort(due.begin(), due.end());
  for (const auto& [path, pid] : due) send(evUpdateItem, path, {}, pid);
}

Registration::Clock::time_point Registration::nextDue() const {
  auto next = Clock::time_point::max();
  for (const auto& [path, w] : written) next = std::min(next, w.due);
  return next;
}

}  // namespace linuxfs

LinuxNotifyWindow::LinuxNotifyWindow(LinuxPlatform& platform, NotifyHandler handler)
    : platform(platform), handler(std::move(handler)) {
  queue = linuxfs::ThreadRegistry::instance().queueOfCurrentThread();
  mountFd = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
  for (const DriveInfo& d : platform.drives()) {
    if (d.type == DriveType::Fixed || d.type == DriveType::Removable) knownDrives.push_back(d);
  }
}

LinuxNotifyWindow::~LinuxNotifyWindow() {
  platform.forgetWindow(*this);
  if (mountFd >= 0) ::close(mountFd);
}

void LinuxNotifyWindow::add(std::unique_ptr<linuxfs::Registration> registration) {
  registrations.push_back(std::move(registration));
}

bool LinuxNotifyWindow::remove(std::uint32_t id) {
  const auto before = registrations.size();
  std::erase_if(registrations, [id](const auto& r) { return r->id == id; });
  // Messages of that registration still waiting are not delivered any more.
  std::erase_if(pending, [id](const Pending& p) { return p.registration == id; });
  return registrations.size() != before;
}

linuxfs::Registration::Deliver LinuxNotifyWindow::deliverer(std::uint32_t registrationId) {
  return [this, registrationId](std::uint32_t message, std::uint32_t bit, std::string p1, std::string p2,
                                std::int32_t pid) {
    pending.push_back({registrationId, message, bit, std::move(p1), std::move(p2), pid});
  };
}

void LinuxNotifyWindow::checkMounts() {
  std::vector<DriveInfo> now;
  for (const DriveInfo& d : platform.drives()) {
    if (d.type == DriveType::Fixed || d.type == DriveType::Removable) now.push_back(d);
  }
  const auto mountPoint = [](const DriveInfo& d) {
    std::string p = d.root;
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    return p;
  };
  const auto has = [](const std::vector<DriveInfo>& list, const DriveInfo& d) {
    return std::any_of(list.begin(), list.end(), [&](const DriveInfo& x) { return x.root == d.root; });
  };
  // The registration that reports a drive event: the deepest one whose folder holds the mount
  // point, else one whose folder lies on that drive.
  const auto reporter = [this](const std::string& mp) -> linuxfs::Registration* {
    linuxfs::Registration* best = nullptr;
    for (const auto& r : registrations) {
      if (linuxfs::isSameOrBelowPath(mp, r->root) && (!best || r->root.size() > best->root.size()))
        best = r.get();
    }
    if (best) return best;
    for (const auto& r : registrations) {
      if (linuxfs::isSameOrBelowPath(r->root, mp)) return r.get();
    }
    return nullptr;
  };
  for (const DriveInfo& d : knownDrives) {
    if (has(now, d)) continue;
    const std::string mp = mountPoint(d);
    if (auto* r = reporter(mp)) r->sendIfWanted(evDriveRemoved, mp);
    // A registration on the drive that went away ends here; it stays registered (its id is
    // still deregistered as usual) but reads nothing more.
    for (const auto& r : registrations) {
      if (linuxfs::isSameOrBelowPath(r->root, mp)) r->source.reset();
    }
  }
  for (const DriveInfo& d : now) {
    if (has(knownDrives, d)) continue;
    const std::string mp = mountPoint(d);
    if (auto* r = reporter(mp)) r->sendIfWanted(evDriveAdd, mp);
  }
  knownDrives = std::move(now);
}

int LinuxNotifyWindow::pollTimeoutMs() const {
  auto next = linuxfs::Registration::Clock::time_point::max();
  for (const auto& r : registrations) next = std::min(next, r->nextDue());
  if (next == linuxfs::Registration::Clock::time_point::max()) return -1;
  const auto wait = std::chrono::ceil<std::chrono::milliseconds>(next - linuxfs::Registration::Clock::now());
  return static_cast<int>(std::clamp<std::int64_t>(wait.count(), 0, 60'000));
}

std::int32_t LinuxNotifyWindow::getMessage(ThreadMessage& msg) {
  for (;;) {
    if (queue->tryPop(msg)) {
      msg.forWindow = false;
      currentPid = 0;
      return msg.message == linuxfs::kWmQuit ? 0 : 1;
    }
    if (!pending.empty()) {
      Pending p = std::move(pending.front());
      pending.pop_front();
      currentItems[0].path = std::move(p.path1);
      currentItems[1].path = std::move(p.path2);
      currentPointers[0] = &currentItems[0];
      currentPointers[1] = currentItems[1].path.empty() ? nullptr : &currentItems[1];
      currentPid = p.pid;
      msg.message = p.message;
      msg.wParam = reinterpret_cast<std::uintptr_t>(currentPointers);
      msg.lParam = static_cast<std::intptr_t>(p.bit);
      msg.forWindow = true;
      return 1;
    }
    if (gatherNext) {
      gatherNext = false;
      struct pollfd posted {
        queue->eventFd, POLLIN, 0
      };
      const int waited = ::poll(&posted, 1, linuxfs::kGatherMs);
      if (waited < 0 && errno != EINTR) return -1;
    }
    std::vector<struct pollfd> fds;
    fds.push_back({queue->eventFd, POLLIN, 0});
    if (mountFd >= 0) fds.push_back({mountFd, POLLPRI, 0});
    std::vector<linuxfs::Registration*> polled;
    for (const auto& r : registrations) {
      if (r->source && !r->source->ended()) {
        fds.push_back({r->source->fd(), POLLIN, 0});
        polled.push_back(r.get());
      }
    }
    const bool settingUp = std::any_of(registrations.begin(), registrations.end(),
                                       [](const auto& r) { return r->source && r->source->setupPending(); });
    const int ready = ::poll(fds.data(), fds.size(), settingUp ? 0 : pollTimeoutMs());
    if (ready < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (fds[0].revents & POLLIN) queue->drainSignal();
    std::size_t at = 1;
    if (mountFd >= 0) {
      if (fds[at].revents & (POLLPRI | POLLERR)) checkMounts();
      ++at;
    }
    for (std::size_t i = 0; i < polled.size(); ++i, ++at) {
      linuxfs::Registration* r = polled[i];
      if (!r->source) continue;  // ended by the mount check above
      if (fds[at].revents & POLLIN) {
        r->source->readAvailable(*r);
        gatherNext = true;
      }
      if (fds[at].revents & (POLLERR | POLLHUP | POLLNVAL)) r->source.reset();
    }
    for (const auto& r : registrations) {
      if (r->source && r->source->setupPending()) r->source->continueSetup(*r, std::chrono::milliseconds(20));
    }
    const auto now = linuxfs::Registration::Clock::now();
    for (const auto& r : registrations) r->flushDue(now);
  }
}

void LinuxNotifyWindow::dispatchMessage(const ThreadMessage& msg) {
  if (msg.forWindow && handler) handler(msg);
}

std::string LinuxNotifyWindow::currentProcessName() {
  if (currentPid <= 0) return {};
  const auto now = std::chrono::steady_clock::now();
  auto known = processNames.find(currentPid);
  if (known != processNames.end() && now - known->second.readAt < std::chrono::seconds(1))
    return known->second.name;
  if (processNames.size() > 4096) processNames.clear();
  std::string name;
  const std::string file = "/proc/" + std::to_string(currentPid) + "/comm";
  if (FILE* comm = std::fopen(file.c_str(), "re")) {
    char buffer[64] = {};
    if (std::fgets(buffer, sizeof buffer, comm) != nullptr) {
      name = buffer;
      while (!name.empty() && (name.back() == '\n' || name.back() == '\r')) name.pop_back();
    }
    std::fclose(comm);
  }
  processNames[currentPid] = KnownProcess{name, now};
  return name;
}

}  // namespace tw
