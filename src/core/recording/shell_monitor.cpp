#include "core/recording/shell_monitor.h"

#include <algorithm>
#include <exception>
#include <stdexcept>
#include <thread>
#include <utility>

#include "core/text/text_lines.h"

namespace tw {

TShellMonitor::TShellMonitor(MonitorContext context) : ctx(std::move(context)) {}

TShellMonitor::~TShellMonitor() = default;

std::shared_ptr<TShellMonitor> TShellMonitor::start(MonitorContext context) {
  auto monitor = std::make_shared<TShellMonitor>(std::move(context));
  std::thread([monitor] {
    monitor->ctx.platform.notify.setCurrentThreadPriorityHighest();
    monitor->Execute();
  }).detach();
  return monitor;
}

void TShellMonitor::setPause(bool b) {
  {
    std::lock_guard guard(stackLock);
    if (!ItemsStack) return;
    ItemsStack->setPause(b);
  }
  ctx.ui.synchronize([&] {
    if (b) {
      ctx.controls.setPauseCaption("Resume");
      ctx.controls.setPauseImage(kImgResume);
    } else {
      ctx.controls.setPauseCaption("Pause");
      ctx.controls.setPauseImage(kImgPause);
    }
  });
}

void TShellMonitor::stop() {
  // The flag first: when the post below finds no message queue yet, the monitor sees the flag
  // once its queue exists.
  stopRequested.store(true);
  const std::uint64_t id = threadId.load();
  if (id != 0) ctx.platform.notify.postThreadMessage(id, WM_STOPMONITOR, 0, 0);
}

bool TShellMonitor::hasQueuedEvents() const {
  std::lock_guard guard(stackLock);
  return ItemsStack && ItemsStack->hasItems();
}

std::uint64_t TShellMonitor::capturedCount() const {
  std::shared_ptr<TItemsStack> queue;
  {
    std::lock_guard guard(stackLock);
    queue = queueWatch.lock();
  }
  return queue ? queue->addedCount() : 0;
}

bool TShellMonitor::hasEnded() const {
  std::lock_guard guard(endLock);
  return ended;
}

bool TShellMonitor::waitForEnd(std::chrono::milliseconds timeout) const {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  {
    std::unique_lock guard(endLock);
    if (!endChanged.wait_until(guard, deadline, [&] { return ended; })) return false;
  }
  std::shared_ptr<TItemsStack> queue;
  {
    std::lock_guard guard(stackLock);
    queue = queueWatch.lock();
  }
  if (queue) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return queue->waitForEnd(std::max(left, std::chrono::milliseconds(0)));
  }
  return true;
}

void TShellMonitor::Execute() {
  threadId.store(ctx.platform.notify.currentThreadId());
  std::string error;
  try {
    setUp();
    runMessageLoop();
  } catch (const std::exception& e) {
    error = e.what();
  } catch (...) {
    error = "An unknown error ended the recording.";
  }
  stopSequence();
  if (!error.empty()) {
    try {
      ctx.ui.synchronize([&] { ctx.controls.showError(error); });
    } catch (...) {
      // The user interface is gone: nobody is left to tell.
    }
  }
  threadId.store(0);
  std::lock_guard guard(endLock);
  ended = true;
  endChanged.notify_all();
}

void TShellMonitor::setUp() {
  ctx.ui.synchronize([&] {
    ctx.controls.setRecordImage(kImgStop);
    ctx.controls.setRecordCaption("Stop");
    ctx.controls.setPauseVisible(true);
  });

  FWndHandle =
      ctx.platform.notify.createNotifyWindow([this](const ThreadMessage& msg) { handleNotify(msg); });
  if (!FWndHandle) throw std::runtime_error("Cannot create the window that receives change notifications.");

  auto queue = std::make_shared<TItemsStack>();
  {
    std::lock_guard guard(stackLock);
    ItemsStack = queue;
    queueWatch = queue;
  }

  if (!ctx.options.excludedFolders.empty()) queue->setDirFilters(joinLinesCrLf(ctx.options.excludedFolders));
  if (!ctx.options.extensions.empty()) queue->setExtFilters(joinLinesCrLf(ctx.options.extensions));
  ShellNotify& notify = ctx.platform.notify;
  TItemsStack::start(queue, ctx.ui, ctx.view, ctx.platform.environment.pathStyle(),
                     [&notify] { notify.setCurrentThreadPriorityHighest(); });

  const std::vector<std::string> drives = recordableDriveRoots(ctx.platform.drives);
  for (const std::string& root : drives) {
    if (isInStringList(root, ctx.options.skippedDrives)) continue;
    auto notifier = std::make_unique<TShellNotifierObj>(notify, root, true);
    notifier->setAllEvents(true);
    for (std::size_t n = 0; n < ctx.options.kinds.size(); ++n) {
      if (!ctx.options.kinds.test(n)) notifier->setEventsMon(false, static_cast<std::uint16_t>(n));
    }
    NotifyList.push_back(std::move(notifier));
  }

  int registered = 0;
  for (const auto& notifier : NotifyList) {
    if (!notifier || !notifier->getStatusParse()) continue;
    notifier->setNotifierHandle(notify.changeNotifyRegister(
        *FWndHandle, kNotifySourceFlags, notifier->getEventsMon(), WM_SHELLNOTIFY, notifier->getNotifider()));
    if (notifier->getNotifierHandle() != 0) ++registered;
  }
  registeredDrives.store(registered);
}

void TShellMonitor::runMessageLoop() {
  while (!stopRequested.load()) {
    if (FWndHandle->getMessage(Msg) <= 0) break;
    if (Msg.message == WM_STOPMONITOR && !Msg.forWindow) break;
    FWndHandle->dispatchMessage(Msg);
  }
}

void TShellMonitor::stopSequence() {
  // Each registration ends before its parsed path is freed; the last one first.
  while (!NotifyList.empty()) NotifyList.pop_back();
  FWndHandle.reset();
  {
    std::lock_guard guard(stackLock);
    if (ItemsStack) ItemsStack->terminate();
    ItemsStack.reset();
  }
  try {
    ctx.ui.synchronize([&] {
      ctx.controls.setRecordImage(kImgRecord);
      ctx.controls.setRecordCaption("Record");
      ctx.controls.setPauseVisible(false);
      if (ctx.options.cleanOnStop) {
        ctx.controls.clearTree();
        ctx.controls.clearList();
      }
    });
  } catch (...) {
    // The user interface has gone away; the registrations and threads are wound up anyway.
  }
}

void TShellMonitor::handleNotify(const ThreadMessage& msg) {
  if (msg.message != WM_SHELLNOTIFY) return;
  const std::uint32_t value = static_cast<std::uint32_t>(msg.lParam) & ~kShcneInterrupt;
  std::string item1 = getItemPath(msg, 1);
  std::string item2 = getItemPath(msg, 2);
  // A value that is not exactly one of the 19 kinds has no event number: it is dropped rather
  // than queued under a number nothing set.
  const auto eventNum = eventNumFromBit(value);
  if (!eventNum) return;
  ShellNotify::ChangeProcess process = ctx.platform.notify.notifyProcess(*FWndHandle);
  ItemsStack->addItem(std::move(item1), std::move(item2), *eventNum, process.pid, std::move(process.name));
}

std::string TShellMonitor::getItemPath(const ThreadMessage& msg, int position) {
  // The message carries the address of its item list in its integer parameter.
  const auto* items = reinterpret_cast<const ItemIdList*>(msg.wParam);  // NOLINT(performance-no-int-to-ptr)
  if (items == nullptr) return {};
  try {
    return ctx.platform.notify.pathFromIdList(items[position - 1]);
  } catch (...) {
    return {};
  }
}

}  // namespace tw
