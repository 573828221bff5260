#include "win/settings/settings_window.h"

// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <algorithm>
#include <optional>

#include "core/events/event_kinds.h"
#include "core/settings/extensions.h"
#include "core/settings/ini_store.h"
#include "core/settings/settings_codec.h"
#include "core/text/text_lines.h"
#include "core/ui/texts.h"
#include "win/resources/resource_ids.h"
#include "win/settings/extension_dialog.h"

namespace tw::win {

namespace {

// The designed places and sizes, in pixels at 96 dots per inch.
constexpr int kClientWidth = 627;
constexpr int kClientHeight = 329;
constexpr Bounds kTreeDesign{4, 4, 189, 321};
constexpr Bounds kPageDesign{199, 4, 424, 321};
constexpr int kOptionLeft = 8, kOptionWidth = 321, kOptionHeight = 17;
constexpr int kOptionTops[3] = {8, 26, 44};
constexpr Bounds kDriveListDesign{8, 29, 408, 284};
constexpr int kDriveColumnWidths[3] = {100, 90, 205};
constexpr Bounds kExtensionListDesign{8, 29, 385, 124};
constexpr int kExtensionColumnWidth = 100;
constexpr Bounds kAddExtensionDesign{397, 29, 22, 22};
constexpr Bounds kDeleteExtensionDesign{397, 55, 22, 22};
constexpr Bounds kFolderListDesign{8, 180, 385, 133};
constexpr Bounds kAddFolderDesign{397, 180, 22, 22};
constexpr Bounds kDeleteFolderDesign{397, 206, 22, 22};
constexpr Bounds kEventListDesign{8, 29, 408, 284};
constexpr Bounds kLockPictureDesign{8, 300, 16, 16};
constexpr int kLockLabelLeft = 24, kLockLabelTop = 299;
constexpr int kTreeIndent = 19;

// The window's own messages and timer.
constexpr UINT kNavigationClickMessage = WM_APP + 1;  // after the tree has handled the click
constexpr UINT_PTR kMissingFolderTimer = 1;

constexpr Color kUsageGreen = rgb(0, 255, 0);
constexpr Color kUsageRed = rgb(255, 0, 0);  // 0x0000FF
constexpr COLORREF kRowBlack = RGB(0, 0, 0);
constexpr COLORREF kRowRed = RGB(255, 0, 0);
constexpr COLORREF kRowGrey = RGB(128, 128, 128);  // a kind the system never reports

struct Heading {
  SettingsWindow::Page page;
  int left, top;
  const char* text;
};
constexpr Heading kHeadings[] = {
    {SettingsWindow::Page::Drives, 8, 8, "Select Drives to Monitor (default capture all)"},
    {SettingsWindow::Page::Filters, 8, 8, "Only capture the following extensions (default capture all) :"},
    {SettingsWindow::Page::Filters, 8, 159, "Do not capture following paths :"},
    {SettingsWindow::Page::Events, 8, 8, "Select Events you need to capture (Default capture all)"},
};
struct LockNote {
  SettingsWindow::Page page;
  const char* text;
};
constexpr LockNote kLockNotes[] = {
    {SettingsWindow::Page::Drives, "You can't change drive to Monitor while recording."},
    {SettingsWindow::Page::Filters, "You can't change filters while recording."},
    {SettingsWindow::Page::Events, "You can't change events status while recording."},
};

void place(HWND control, const Bounds& b) { MoveWindow(control, b.left, b.top, b.width, b.height, TRUE); }

// Copies text into a list view's display buffer, cut to its size.
void giveText(LVITEMW& item, const std::wstring& text) {
  if (item.pszText == nullptr || item.cchTextMax <= 0) return;
  const std::size_t count = text.copy(item.pszText, static_cast<std::size_t>(item.cchTextMax - 1));
  item.pszText[count] = L'\0';
}

HWND reportList(HWND parent, DWORD style, DWORD extendedStyle) {
  HWND list = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                              WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_NOCOLUMNHEADER |
                                  LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS | style,
                              0, 0, 0, 0, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
  ListView_SetExtendedListViewStyle(list, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | extendedStyle);
  return list;
}

void addColumn(HWND list, int index, int width) {
  LVCOLUMNW column{};
  column.mask = LVCF_WIDTH | LVCF_SUBITEM;
  column.cx = width;
  column.iSubItem = index;
  ListView_InsertColumn(list, index, &column);
}

// The list's last column takes the width its client area leaves (after a scroll bar appears or
// goes, too).
void fillLastColumn(HWND list, int lastColumn) {
  ListView_SetColumnWidth(list, lastColumn, LVSCW_AUTOSIZE_USEHEADER);
}

bool isChecked(HWND box) { return SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }
void setChecked(HWND box, bool checked) {
  SendMessageW(box, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

}  // namespace

SettingsWindow::SettingsWindow(Platform platform, Dialogs& dialogs, std::string iniFile)
    : TopLevelWindow(L"TarnwatchSettingsWindow", "Settings", kClientWidth, kClientHeight, true),
      platform_(platform),
      dialogs_(dialogs),
      iniFile_(std::move(iniFile)) {
  buildControls();
  // The General page shows until the user clicks a node.
  showPage(Page::General);
  saved_ = readCaptureOptions(platform_.profiles, iniFile_);
  showOptions(saved_);
}

SettingsWindow::~SettingsWindow() { destroy(); }

void SettingsWindow::buildControls() {
  const Fonts* fonts = fonts_.get();
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  images_ = std::make_unique<ImageList>(TARNWATCH_IMAGES_SETTINGS, kSettingsImageCount, dpi_);
  lockImage_ = std::make_unique<ImageList>(TARNWATCH_IMAGES_LOCK, 1, dpi_);

  // Navigation tree: each node keeps what it stands for, which decides what a click does.
  tree_ = CreateWindowExW(WS_EX_CLIENTEDGE, WC_TREEVIEWW, L"",
                          WS_CHILD | WS_VISIBLE | WS_TABSTOP | TVS_HASLINES | TVS_HASBUTTONS |
                              TVS_LINESATROOT | TVS_SHOWSELALWAYS,
                          0, 0, 0, 0, handle(), nullptr, instance, nullptr);
  TreeView_SetImageList(tree_, images_->handle(), TVSIL_NORMAL);
  HTREEITEM lastTopNode = nullptr;
  for (const NavigationNode& node : kNavigationNodes) {
    const std::wstring text = wide(node.text);
    TVINSERTSTRUCTW insert{};
    insert.hParent = node.child && lastTopNode != nullptr ? lastTopNode : TVI_ROOT;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
    insert.item.pszText = const_cast<wchar_t*>(text.c_str());
    insert.item.iImage = node.image;
    insert.item.iSelectedImage = node.image;
    insert.item.lParam = static_cast<LPARAM>(node.target);
    HTREEITEM item = TreeView_InsertItem(tree_, &insert);
    if (!node.child) lastTopNode = item;
  }
  for (HTREEITEM item = TreeView_GetRoot(tree_); item != nullptr; item = TreeView_GetNextSibling(tree_, item))
    TreeView_Expand(tree_, item, TVE_EXPAND);

  for (auto& page : pages_) {
    page = std::make_unique<GradientPanel>(handle(), Bounds{}, fonts);
    page->setStyle(PanelStyle::Custom);
  }

  // General Settings.
  const auto option = [&](const wchar_t* caption) {
    return CreateWindowExW(0, L"BUTTON", caption, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 0, 0,
                           0, 0, page(Page::General).handle(), nullptr, instance, nullptr);
  };
  autoCapture_ = option(L"Automatically start the capture on program startup.");
  tray_ = option(L"Minimize application to tray on close.");
  autoClean_ = option(L"Clean Tree / List when you decide to stop record.");

  for (const Heading& heading : kHeadings)
    headings_.push_back(
        std::make_unique<ActiveLabel>(page(heading.page).handle(), 0, 0, heading.text, fonts));

  // Drives to Monitor: ticked rows with the system's icons; the usage bars go over the third
  // column.
  driveList_ = reportList(page(Page::Drives).handle(), WS_CLIPCHILDREN, LVS_EX_CHECKBOXES);
  for (int c = 0; c < 3; ++c) addColumn(driveList_, c, kDriveColumnWidths[c]);
  const ImageListHandle systemIcons =
      systemSmallIcons(platform_.environment.systemDriveRoot().valueOr("C:\\"));
  ListView_SetImageList(driveList_, systemIcons, LVSIL_SMALL);

  // Extension and Folders: two lists of entries that ask the platform for a row's looks only
  // when the row is shown.
  Window& filters = page(Page::Filters);
  extensionList_ = reportList(filters.handle(), LVS_OWNERDATA, 0);
  addColumn(extensionList_, 0, kExtensionColumnWidth);
  addColumn(extensionList_, 1, 100);
  ListView_SetImageList(extensionList_, systemIcons, LVSIL_SMALL);
  folderList_ = reportList(filters.handle(), LVS_OWNERDATA, 0);
  addColumn(folderList_, 0, 100);
  ListView_SetImageList(folderList_, systemIcons, LVSIL_SMALL);
  const auto toolButton = [&](int picture) {
    auto button = std::make_unique<ToolButton>(filters.handle(), Bounds{}, fonts);
    button->setImages(images_.get());
    button->setImageIndex(picture);
    return button;
  };
  addExtension_ = toolButton(kImgAdd);
  deleteExtension_ = toolButton(kImgDelete);
  addFolder_ = toolButton(kImgAdd);
  deleteFolder_ = toolButton(kImgDelete);
  addExtension_->onClick = [this] { onAddExtension(); };
  deleteExtension_->onClick = [this] { deleteListItems(EntryList::Extensions); };
  addFolder_->onClick = [this] { onAddFolder(); };
  deleteFolder_->onClick = [this] { deleteListItems(EntryList::ExcludedFolders); };

  // Events Filters: one ticked row per event kind, with the tick or the cross picture.
  // A kind this system never reports is greyed, and its tool tip says so.
  eventList_ = reportList(page(Page::Events).handle(), 0, LVS_EX_CHECKBOXES | LVS_EX_INFOTIP);
  producible_ = platform_.watching.producibleKinds();
  addColumn(eventList_, 0, 100);
  ListView_SetImageList(eventList_, images_->handle(), LVSIL_SMALL);
  fillingEvents_ = true;
  for (int kind = 0; kind < kEventCount; ++kind) {
    const std::wstring name = wide(getEventName(kind));
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = kind;
    item.pszText = const_cast<wchar_t*>(name.c_str());
    item.iImage = kImgEventOn;
    ListView_InsertItem(eventList_, &item);
  }
  fillingEvents_ = false;

  for (const LockNote& note : kLockNotes) {
    auto picture = std::make_unique<Picture>(page(note.page).handle(), Bounds{}, fonts);
    picture->setImage(lockImage_.get(), 0);
    picture->setShown(false);
    lockPictures_.push_back(std::move(picture));
    auto label = std::make_unique<ActiveLabel>(page(note.page).handle(), 0, 0, note.text, fonts);
    label->setShown(false);
    lockLabels_.push_back(std::move(label));
  }
  placeControls();
}

void SettingsWindow::placeControls() {
  images_->reload(dpi_);
  lockImage_->reload(dpi_);
  TreeView_SetImageList(tree_, images_->handle(), TVSIL_NORMAL);
  ListView_SetImageList(eventList_, images_->handle(), LVSIL_SMALL);
  place(tree_, dpi_.px(kTreeDesign));
  TreeView_SetIndent(tree_, dpi_.px(kTreeIndent));
  for (auto& page : pages_) page->setBounds(dpi_.px(kPageDesign));
  const HWND options[3] = {autoCapture_, tray_, autoClean_};
  for (int i = 0; i < 3; ++i)
    place(options[i], dpi_.px(Bounds{kOptionLeft, kOptionTops[i], kOptionWidth, kOptionHeight}));
  for (std::size_t i = 0; i < headings_.size(); ++i) {
    headings_[i]->adjustSize();
    headings_[i]->move(dpi_.px(kHeadings[i].left), dpi_.px(kHeadings[i].top));
  }
  place(driveList_, dpi_.px(kDriveListDesign));
  for (int c = 0; c < 3; ++c) ListView_SetColumnWidth(driveList_, c, dpi_.px(kDriveColumnWidths[c]));
  place(extensionList_, dpi_.px(kExtensionListDesign));
  place(folderList_, dpi_.px(kFolderListDesign));
  place(eventList_, dpi_.px(kEventListDesign));
  ListView_SetColumnWidth(extensionList_, 0, dpi_.px(kExtensionColumnWidth));
  addExtension_->setBounds(dpi_.px(kAddExtensionDesign));
  deleteExtension_->setBounds(dpi_.px(kDeleteExtensionDesign));
  addFolder_->setBounds(dpi_.px(kAddFolderDesign));
  deleteFolder_->setBounds(dpi_.px(kDeleteFolderDesign));
  for (std::size_t i = 0; i < lockPictures_.size(); ++i) {
    lockPictures_[i]->setBounds(dpi_.px(kLockPictureDesign));
    lockLabels_[i]->adjustSize();
    lockLabels_[i]->move(dpi_.px(kLockLabelLeft), dpi_.px(kLockLabelTop));
  }
  for (HWND control :
       {tree_, autoCapture_, tray_, autoClean_, driveList_, extensionList_, folderList_, eventList_})
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_->window()), TRUE);
  setRecordMode(recording_);  // the list heights and the notes
}

void SettingsWindow::fillLastColumns() {
  fillLastColumn(extensionList_, 1);
  fillLastColumn(folderList_, 0);
  fillLastColumn(eventList_, 0);
}

// --- Options -------------------------------------------------------------------------------

CaptureOptions SettingsWindow::editedOptions() const {
  CaptureOptions options;
  for (std::size_t row = 0; row < driveRoots_.size(); ++row) {
    if (!ListView_GetCheckState(driveList_, static_cast<int>(row)))
      options.skippedDrives.push_back(driveRoots_[row]);
  }
  options.kinds = kinds_;
  options.extensions = extensions_;
  options.excludedFolders = folders_;
  options.autoCapture = isChecked(autoCapture_);
  options.minimizeToTray = isChecked(tray_);
  options.cleanOnStop = isChecked(autoClean_);
  return options;
}

void SettingsWindow::showOptions(const CaptureOptions& options) {
  setChecked(autoCapture_, options.autoCapture);
  setChecked(tray_, options.minimizeToTray);
  setChecked(autoClean_, options.cleanOnStop);
  kinds_ = options.kinds;
  applyKinds();
  if (extensions_ != options.extensions) setEntries(EntryList::Extensions, options.extensions);
  if (folders_ != options.excludedFolders) setEntries(EntryList::ExcludedFolders, options.excludedFolders);
  applyDriveTicks(options.skippedDrives);
}

void SettingsWindow::applyKinds() {
  fillingEvents_ = true;
  for (int kind = 0; kind < kEventCount; ++kind) {
    const bool on = kinds_.test(static_cast<std::size_t>(kind));
    ListView_SetCheckState(eventList_, kind, on);
    LVITEMW item{};
    item.mask = LVIF_IMAGE;
    item.iItem = kind;
    item.iImage = on ? kImgEventOn : kImgEventOff;
    ListView_SetItem(eventList_, &item);
  }
  fillingEvents_ = false;
  InvalidateRect(eventList_, nullptr, TRUE);
}

void SettingsWindow::applyDriveTicks(const std::vector<std::string>& skippedDrives) {
  for (std::size_t row = 0; row < driveRoots_.size(); ++row)
    ListView_SetCheckState(driveList_, static_cast<int>(row),
                           !isInStringList(driveRoots_[row], skippedDrives));
}

void SettingsWindow::setEntries(EntryList list, std::vector<std::string> entries) {
  HWND view = list == EntryList::Extensions ? extensionList_ : folderList_;
  auto& kept = list == EntryList::Extensions ? extensions_ : folders_;
  auto& looks = list == EntryList::Extensions ? extensionLooks_ : folderLooks_;
  kept = std::move(entries);
  looks.assign(kept.size(), EntryLook{});
  ListView_SetItemState(view, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
  ListView_SetItemCountEx(view, static_cast<int>(kept.size()), 0);
  fillLastColumns();
  InvalidateRect(view, nullptr, TRUE);
}

void SettingsWindow::addExtensions(const std::string& text) {
  std::vector<std::string> added = extensionsToAdd(extensions_, text);
  if (added.empty()) return;
  for (std::string& extension : added) {
    extensions_.push_back(std::move(extension));
    extensionLooks_.emplace_back();
  }
  ListView_SetItemCountEx(extensionList_, static_cast<int>(extensions_.size()), LVSICF_NOSCROLL);
  fillLastColumns();
}

const SettingsWindow::EntryLook& SettingsWindow::extensionLook(int row) {
  EntryLook& look = extensionLooks_[static_cast<std::size_t>(row)];
  if (!look.known) {
    const std::string& extension = extensions_[static_cast<std::size_t>(row)];
    look.icon = platform_.icons.fileTypeIcon(extension);
    look.description = wide(extensionTypeDescription(platform_.icons, extension));
    look.known = true;
  }
  return look;
}

const SettingsWindow::EntryLook& SettingsWindow::folderLook(int row) {
  EntryLook& look = folderLooks_[static_cast<std::size_t>(row)];
  if (!look.known || look.generation != folderGeneration_) {
    // The platform gives no icon for a folder that is not there: such a row shows in red.
    look.icon = platform_.icons.pathIcon(folders_[static_cast<std::size_t>(row)]);
    look.generation = folderGeneration_;
    look.known = true;
  }
  return look;
}

// --- Pages ---------------------------------------------------------------------------------

SettingsWindow::Page SettingsWindow::shownPage() const {
  for (std::size_t i = 0; i < pages_.size(); ++i) {
    if (pages_[i]->isShown()) return static_cast<Page>(i);
  }
  return Page::General;
}

void SettingsWindow::showPage(Page p) {
  for (auto& page : pages_) page->setShown(false);
  page(p).setShown(true);
}

void SettingsWindow::onNavigationClicked() {
  HTREEITEM selected = TreeView_GetSelection(tree_);
  if (selected == nullptr) return;
  TVITEMW item{};
  item.mask = TVIF_PARAM;
  item.hItem = selected;
  TreeView_GetItem(tree_, &item);
  switch (static_cast<NavigationTarget>(item.lParam)) {
    case NavigationTarget::GeneralPage:
      showPage(Page::General);
      break;
    case NavigationTarget::DrivesPage:
      for (auto& page : pages_) page->setShown(false);
      refreshDrives();
      page(Page::Drives).setShown(true);
      break;
    case NavigationTarget::FiltersPage:
      showPage(Page::Filters);
      break;
    case NavigationTarget::EventsPage:
      showPage(Page::Events);
      break;
    case NavigationTarget::About:
      if (onAbout) onAbout();
      break;
    case NavigationTarget::FiltersHeading:
      break;  // a heading only
  }
}

// --- Drives --------------------------------------------------------------------------------

void SettingsWindow::refreshDrives() {
  ListView_DeleteAllItems(driveList_);
  usageBars_.clear();
  driveRoots_ = recordableDriveRoots(platform_.drives);
  for (std::size_t i = 0; i < driveRoots_.size(); ++i) {
    const std::string& root = driveRoots_[i];
    const int row = static_cast<int>(i);
    auto bar = std::make_unique<ProgressBar>(driveList_, Bounds{}, fonts_.get());
    bar->setMin(0);
    bar->setMax(100);
    bar->setColor(kUsageGreen);

    // Every drive starts ticked on every refill.
    const std::wstring caption = wide(root);
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = row;
    item.pszText = const_cast<wchar_t*>(caption.c_str());
    item.iImage = systemImage(platform_.icons.fileTypeIcon(root));
    ListView_InsertItem(driveList_, &item);
    ListView_SetCheckState(driveList_, row, TRUE);
    const std::wstring fileSystem = wide(platform_.drives.fileSystemName(root).valueOr(std::string()));
    ListView_SetItemText(driveList_, row, 1, const_cast<wchar_t*>(fileSystem.c_str()));

    // A volume whose size cannot be read (a drive without a medium) shows 0 %.
    const auto space = platform_.drives.diskSpace(root);
    const int percent = space ? usedPercentage(space->total, space->freeToCaller) : 0;
    bar->setPosition(percent);
    if (isHighUsage(percent)) bar->setColor(kUsageRed);
    usageBars_.push_back(std::move(bar));
  }
  placeUsageBars();
}

void SettingsWindow::placeUsageBars() {
  const int leading = ListView_GetColumnWidth(driveList_, 0) + ListView_GetColumnWidth(driveList_, 1);
  const int last = ListView_GetColumnWidth(driveList_, 2);
  for (std::size_t i = 0; i < usageBars_.size(); ++i) {
    RECT row{};
    ListView_GetItemRect(driveList_, static_cast<int>(i), &row, LVIR_BOUNDS);
    const UsageBarPlace p = usageBarPlace(row.left, row.top, row.bottom - row.top, leading, last);
    usageBars_[i]->setBounds(Bounds{p.left, p.top, p.width, p.height});
  }
}

// --- Record lock ---------------------------------------------------------------------------

void SettingsWindow::setRecordMode(bool recording) {
  recording_ = recording;
  const RecordLockLook look = recordLockLook(recording, kPageDesign.height);
  for (HWND list : {driveList_, folderList_, extensionList_, eventList_})
    EnableWindow(list, look.listsEnabled);
  for (auto& picture : lockPictures_) picture->setShown(look.notesShown);
  for (auto& label : lockLabels_) label->setShown(look.notesShown);
  for (ToolButton* button :
       {addFolder_.get(), deleteFolder_.get(), addExtension_.get(), deleteExtension_.get()})
    button->setEnabled(look.buttonsEnabled);
  addFolder_->setImageIndex(look.addImage);
  addExtension_->setImageIndex(look.addImage);
  deleteFolder_->setImageIndex(look.deleteImage);
  deleteExtension_->setImageIndex(look.deleteImage);
  // The lists make room for the lock notes below them.
  const auto resize = [](HWND list, int height) {
    RECT r{};
    GetWindowRect(list, &r);
    SetWindowPos(list, nullptr, 0, 0, r.right - r.left, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  };
  resize(driveList_, dpi_.px(kDriveListDesign.top + look.driveListHeight) - dpi_.px(kDriveListDesign.top));
  resize(eventList_, dpi_.px(kEventListDesign.top + look.driveListHeight) - dpi_.px(kEventListDesign.top));
  resize(folderList_,
         dpi_.px(kFolderListDesign.top + look.folderListHeight) - dpi_.px(kFolderListDesign.top));
  fillLastColumns();
}

// --- Lists ---------------------------------------------------------------------------------

int SettingsWindow::firstSelectedRow(WindowHandle list) const {
  return ListView_GetNextItem(list, -1, LVNI_SELECTED);
}

void SettingsWindow::deleteListItems(EntryList list) {
  HWND view = list == EntryList::Extensions ? extensionList_ : folderList_;
  if (firstSelectedRow(view) < 0) {
    dialogs_.message(handle(), kNoSelectionTitle, kNoSelectionText, MessageIcon::Error);
    return;
  }
  if (!dialogs_.askYesNo(handle(), kRemoveTitle, kRemoveText)) return;
  // The selection as it is now (the question ran a message loop).
  auto& entries = list == EntryList::Extensions ? extensions_ : folders_;
  auto& looks = list == EntryList::Extensions ? extensionLooks_ : folderLooks_;
  std::vector<bool> gone(entries.size(), false);
  for (int row = ListView_GetNextItem(view, -1, LVNI_SELECTED); row >= 0;
       row = ListView_GetNextItem(view, row, LVNI_SELECTED)) {
    if (static_cast<std::size_t>(row) < gone.size()) gone[static_cast<std::size_t>(row)] = true;
  }
  std::size_t kept = 0;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (gone[i]) continue;
    if (kept != i) {
      entries[kept] = std::move(entries[i]);
      looks[kept] = std::move(looks[i]);
    }
    ++kept;
  }
  entries.resize(kept);
  looks.resize(kept);
  ListView_SetItemState(view, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
  ListView_SetItemCountEx(view, static_cast<int>(entries.size()), 0);
  fillLastColumns();
  InvalidateRect(view, nullptr, TRUE);
}

void SettingsWindow::onAddExtension() {
  if (extensionDialog_ != nullptr) extensionDialog_->showModal(handle());
}

void SettingsWindow::onAddFolder() {
  const PathStyle style = platform_.environment.pathStyle();
  const std::string initial =
      platform_.environment.systemDriveRoot().valueOr(style == PathStyle::Windows ? "c:\\" : "/");
  const std::string chosen = dialogs_.browseForFolder(handle(), kExcludeFolderTitle, initial, false);
  std::optional<std::string> path = excludedFolderToAdd(chosen, folders_, style);
  if (!path) return;
  folders_.push_back(std::move(*path));
  folderLooks_.emplace_back();
  ListView_SetItemCountEx(folderList_, static_cast<int>(folders_.size()), LVSICF_NOSCROLL);
  fillLastColumns();
}

void SettingsWindow::onEventDoubleClicked() {
  const int row = firstSelectedRow(eventList_);
  if (row < 0 || row >= kEventCount) return;
  ListView_SetCheckState(eventList_, row, !kinds_.test(static_cast<std::size_t>(row)));
}

void SettingsWindow::onFolderDoubleClicked() {
  const int row = firstSelectedRow(folderList_);
  if (row < 0 || static_cast<std::size_t>(row) >= folders_.size()) return;
  platform_.shell.open(folders_[static_cast<std::size_t>(row)]);
}

void SettingsWindow::markMissingFolders() {
  ++missingFolderChecks_;
  if (folders_.empty()) return;
  ++folderGeneration_;
  InvalidateRect(folderList_, nullptr, FALSE);
}

// --- Showing and hiding --------------------------------------------------------------------

void SettingsWindow::shown() { SetTimer(handle(), kMissingFolderTimer, 1000, nullptr); }

void SettingsWindow::hidden() { saveOnHide(); }

void SettingsWindow::saveOptions(CaptureOptions options) {
  const std::optional<IniWriteError> refused = trySaveCaptureOptions(platform_.profiles, iniFile_, options);
  saved_ = std::move(options);
  showOptions(saved_);
  if (refused) throw *refused;
}

void SettingsWindow::saveOnHide() {
  KillTimer(handle(), kMissingFolderTimer);
  CaptureOptions edited = editedOptions();
  const std::optional<IniWriteError> refused = trySaveCaptureOptions(platform_.profiles, iniFile_, edited);
  // The window shows what the file holds now, also after a refused write.
  saved_ = std::move(edited);
  showOptions(saved_);
  if (!refused) return;
  // The user learns, after the window has gone, why the file does not hold the edits.
  if (onSaveError) {
    onSaveError(*refused);
  } else {
    dialogs_.message(GetWindow(handle(), GW_OWNER), kErrorTitle, refused->what(), MessageIcon::Error);
  }
}

// --- Messages ------------------------------------------------------------------------------

MessageResult SettingsWindow::onNotify(const void* header) {
  const auto* notify = static_cast<const NMHDR*>(header);
  if (notify->hwndFrom == tree_) {
    if (notify->code == NM_CLICK) {
      // The tree selects the clicked node after telling of the click: act once it has.
      PostMessageW(handle(), kNavigationClickMessage, 0, 0);
    } else if (notify->code == TVN_SELCHANGINGW) {
      // Only the user selects nodes (the tree would select its first node when it gets the
      // focus): the window opens with no node selected.
      const auto* change = static_cast<const NMTREEVIEWW*>(header);
      return change->action == TVC_UNKNOWN ? TRUE : FALSE;
    }
    return 0;
  }
  if (notify->hwndFrom == extensionList_ || notify->hwndFrom == folderList_) {
    const bool extensions = notify->hwndFrom == extensionList_;
    if (notify->code == LVN_GETDISPINFOW) {
      LVITEMW& item = const_cast<NMLVDISPINFOW*>(static_cast<const NMLVDISPINFOW*>(header))->item;
      const auto& entries = extensions ? extensions_ : folders_;
      if (item.iItem < 0 || static_cast<std::size_t>(item.iItem) >= entries.size()) return 0;
      const EntryLook& look = extensions ? extensionLook(item.iItem) : folderLook(item.iItem);
      if ((item.mask & LVIF_TEXT) != 0)
        giveText(item,
                 item.iSubItem == 0 ? wide(entries[static_cast<std::size_t>(item.iItem)]) : look.description);
      if ((item.mask & LVIF_IMAGE) != 0) item.iImage = systemImage(look.icon);
      return 0;
    }
    if (notify->code == NM_CUSTOMDRAW && !extensions) {
      auto* draw = const_cast<NMLVCUSTOMDRAW*>(static_cast<const NMLVCUSTOMDRAW*>(header));
      if (draw->nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
      if (draw->nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
        const auto row = static_cast<int>(draw->nmcd.dwItemSpec);
        if (row >= 0 && static_cast<std::size_t>(row) < folders_.size())
          draw->clrText = folderLook(row).icon != 0 ? kRowBlack : kRowRed;
      }
      return CDRF_DODEFAULT;
    }
    if (notify->code == NM_DBLCLK && !extensions) onFolderDoubleClicked();
    return 0;
  }
  if (notify->hwndFrom == eventList_) {
    if (notify->code == LVN_ITEMCHANGED) {
      const auto* change = static_cast<const NMLISTVIEW*>(header);
      const bool checkChanged = (change->uChanged & LVIF_STATE) != 0 &&
                                ((change->uNewState ^ change->uOldState) & LVIS_STATEIMAGEMASK) != 0;
      if (!fillingEvents_ && checkChanged && change->iItem >= 0 && change->iItem < kEventCount) {
        const bool on = (change->uNewState & LVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(2);
        kinds_.set(static_cast<std::size_t>(change->iItem), on);
        LVITEMW item{};
        item.mask = LVIF_IMAGE;
        item.iItem = change->iItem;
        item.iImage = on ? kImgEventOn : kImgEventOff;
        ListView_SetItem(eventList_, &item);
        ListView_RedrawItems(eventList_, change->iItem, change->iItem);
      }
      return 0;
    }
    if (notify->code == NM_CUSTOMDRAW) {
      auto* draw = const_cast<NMLVCUSTOMDRAW*>(static_cast<const NMLVCUSTOMDRAW*>(header));
      if (draw->nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
      if (draw->nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
        const auto row = static_cast<int>(draw->nmcd.dwItemSpec);
        if (row >= 0 && row < kEventCount) {
          const auto kind = static_cast<std::size_t>(row);
          draw->clrText = !producible_.test(kind) ? kRowGrey : kinds_.test(kind) ? kRowBlack : kRowRed;
        }
      }
      return CDRF_DODEFAULT;
    }
    if (notify->code == LVN_GETINFOTIPW) {
      auto* tip = const_cast<NMLVGETINFOTIPW*>(static_cast<const NMLVGETINFOTIPW*>(header));
      if (tip->iItem >= 0 && tip->iItem < kEventCount &&
          !producible_.test(static_cast<std::size_t>(tip->iItem)) && tip->pszText != nullptr &&
          tip->cchTextMax > 0) {
        lstrcpynW(tip->pszText, wide(kKindNeverReported).c_str(), tip->cchTextMax);
      }
      return 0;
    }
    if (notify->code == NM_DBLCLK) onEventDoubleClicked();
    return 0;
  }
  if (notify->hwndFrom == driveList_ && notify->code == LVN_ENDSCROLL) placeUsageBars();
  return 0;
}

MessageResult SettingsWindow::handleMessage(MessageId message, WParam wParam, LParam lParam) {
  switch (message) {
    case WM_NOTIFY:
      return onNotify(reinterpret_cast<const void*>(lParam));
    case kNavigationClickMessage:
      onNavigationClicked();
      return 0;
    case WM_TIMER:
      if (wParam == kMissingFolderTimer) {
        markMissingFolders();
        return 0;
      }
      break;
    default:
      break;
  }
  return TopLevelWindow::handleMessage(message, wParam, lParam);
}

}  // namespace tw::win
