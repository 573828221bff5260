#include "app/shell_notify_watching.h"

#include <atomic>
#include <stdexcept>
#include <vector>

namespace tw {

namespace {

constexpr std::uint32_t kWakeMessage = 0x0400 + 1;    // posted to the watching thread
constexpr std::uint32_t kChangeMessage = 0x0400 + 2;  // sent to the hidden window per change
// Interrupt level, shell level and recursive interrupt notifications.
constexpr std::int32_t kSourceFlags = 0x1003;

class ShellNotifyWatcher : public ChangeWatcher {
 public:
  ShellNotifyWatcher(ShellNotify& notify, const WatchRequest& request) : notify(notify) {
    window = notify.createNotifyWindow([this](const ThreadMessage& message) { take(message); });
    if (!window) throw std::runtime_error("Cannot create the window that receives change notifications.");
    thread = notify.currentThreadId();
    std::vector<int> kinds;
    for (int n = 0; n < kEventCount; ++n) {
      if (request.kinds.test(static_cast<std::size_t>(n))) kinds.push_back(n);
    }
    const auto mask = static_cast<std::int32_t>(eventMask(kinds));
    for (const std::string& root : request.roots) {
      const ItemIdList item = notify.parseDisplayName(root);
      const std::uint32_t id = item == nullptr ? 0
                                               : notify.changeNotifyRegister(*window, kSourceFlags, mask,
                                                                             kChangeMessage, {item, -1});
      if (item != nullptr) items.push_back(item);
      if (id == 0) {
        notices.push_back({root, "This folder cannot be watched."});
        continue;
      }
      registrations.push_back(id);
      roots.push_back(root);
    }
  }

  ~ShellNotifyWatcher() override {
    for (auto id = registrations.rbegin(); id != registrations.rend(); ++id)
      notify.changeNotifyDeregister(*id);
    for (const ItemIdList item : items) notify.freeIdList(item);
    window.reset();
  }

  void wait(ChangeBatch& out) override {
    for (WatchNotice& notice : notices) out.notices.push_back(std::move(notice));
    notices.clear();
    if (!out.notices.empty()) return;
    receiving = &out;
    ThreadMessage message;
    for (;;) {
      const std::int32_t result = window->getMessage(message);
      if (result <= 0) {
        receiving = nullptr;
        throw std::runtime_error("The change notifications ended.");
      }
      if (!message.forWindow && message.message == kWakeMessage) {
        wakes.fetch_sub(1);
        break;
      }
      window->dispatchMessage(message);
      // Woken: everything queued before the wake message is taken; else one change is enough.
      if (!out.changes.empty() && wakes.load() == 0) break;
    }
    receiving = nullptr;
  }

  void wake() override {
    wakes.fetch_add(1);
    if (!notify.postThreadMessage(thread, kWakeMessage, 0, 0)) wakes.fetch_sub(1);
  }
  std::vector<std::string> watchedRoots() const override { return roots; }

 private:
  void take(const ThreadMessage& message) {
    if (message.message != kChangeMessage || receiving == nullptr) return;
    const std::uint32_t value = static_cast<std::uint32_t>(message.lParam) & ~kShcneInterrupt;
    const auto number = eventNumFromBit(value);
    if (!number) return;
    const auto* pair =
        reinterpret_cast<const ItemIdList*>(message.wParam);  // NOLINT(performance-no-int-to-ptr)
    Change change;
    change.kind = static_cast<EventKind>(*number);
    change.path = pair == nullptr ? std::string() : notify.pathFromIdList(pair[0]);
    change.newPath = pair == nullptr ? std::string() : notify.pathFromIdList(pair[1]);
    ShellNotify::ChangeProcess process = notify.notifyProcess(*window);
    change.pid = process.pid;
    change.process = std::move(process.name);
    change.time = std::chrono::system_clock::now();
    receiving->changes.push_back(std::move(change));
  }

  ShellNotify& notify;
  std::unique_ptr<NotifyWindow> window;
  std::uint64_t thread = 0;
  std::vector<ItemIdList> items;
  std::vector<std::uint32_t> registrations;
  std::vector<std::string> roots;
  std::vector<WatchNotice> notices;
  ChangeBatch* receiving = nullptr;
  std::atomic<int> wakes{0};  // wake messages posted and not yet taken
};

}  // namespace

std::unique_ptr<ChangeWatcher> ShellNotifyWatching::watch(const WatchRequest& request) {
  return std::make_unique<ShellNotifyWatcher>(notify, request);
}

}  // namespace tw
