// Takes the README's pictures of the desktop program: the main window during a real recording
// of a demonstration folder, in the tree and in the list, and the four pages of the settings
// window, and a recording made elsewhere opened and filtered in the list and the tree. Run it on a display
// (scripts/screenshots.sh runs it under Xvfb). Usage: tarnwatch_screenshots OUTPUT-FOLDER
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPixmap>
#include <QThread>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "app/record/recorder.h"
#include "core/report/jsonl.h"
#include "gui/main/dialogs.h"
#include "gui/main/main_window.h"
#include "gui/main/system_icons.h"
#include "gui/settings/settings_window.h"
#include "platform/linux/linux_platform.h"

namespace fs = std::filesystem;

namespace {

void pause(int ms) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < ms) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(5);
  }
}

bool save(QWidget& window, const QString& folder, const QString& name) {
  const QString file = QDir(folder).filePath(name);
  if (!window.grab().save(file, "PNG")) {
    std::cerr << "Could not save " << file.toStdString() << "\n";
    return false;
  }
  std::cout << "Saved " << file.toStdString() << "\n";
  return true;
}

class Link : public tw::SettingsWindowLink {
 public:
  explicit Link(tw::SettingsWindow& window) : window(window) {}
  const tw::CaptureOptions& captureOptions() override { return window.options(); }
  void setRecordMode(bool b) override { window.setRecordMode(b); }
  void saveOptions(const tw::CaptureOptions& options) override { window.saveOptions(options); }
  void showSettings() override { window.show(); }

 private:
  tw::SettingsWindow& window;
};

// The real dialogs, but for the message that a recording was opened, which a picture does not
// wait for.
class QuietDialogs : public tw::QtDialogs {
 public:
  bool quiet = false;
  void message(QWidget* owner, const QString& title, const QString& text, tw::MessageIcon icon) override {
    if (!quiet) tw::QtDialogs::message(owner, title, text, icon);
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "Usage: tarnwatch_screenshots OUTPUT-FOLDER\n";
    return 2;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tarnwatch"));
  tw::SystemIcons::chooseIconTheme();
  const QString out = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(out);

  const fs::path demo = fs::temp_directory_path() / "tarnwatch-demo";
  fs::remove_all(demo);
  fs::create_directories(demo / "projects" / "site" / "assets");
  fs::create_directories(demo / "photos");
  std::ofstream(demo / "projects" / "site" / "index.html") << "<html></html>";
  std::ofstream(demo / "photos" / "old-name.jpg") << "jpeg";

  tw::LinuxPlatform real;
  tw::record::FolderDrives folders(real, tw::PathStyle::Posix, {demo.string()});
  const tw::Platform platform = real.parts().withDrives(folders);
  QuietDialogs quietDialogs;
  tw::QtDialogs& dialogs = quietDialogs;
  tw::SystemIcons settingsIcons(real);
  const std::string ini = (fs::temp_directory_path() / "tarnwatch-demo.ini").string();
  { std::ofstream(ini) << ""; }

  tw::MainWindow main(platform, dialogs);
  tw::SettingsWindow settings(real.parts(), settingsIcons, dialogs, ini, &main);
  settings.addExtensions(".html,.jpg,.css,.txt");
  Link link(settings);
  main.setSettingsWindow(&link);
  main.move(40, 40);
  main.resize(760, 420);
  main.show();
  pause(300);

  main.onRecord();
  pause(800);
  // A few minutes of someone's work, in a few seconds.
  std::ofstream(demo / "projects" / "site" / "style.css") << "body {}";
  std::ofstream(demo / "projects" / "site" / "index.html", std::ios::app) << "<p>news</p>";
  std::ofstream(demo / "projects" / "notes.txt") << "to do";
  fs::create_directory(demo / "projects" / "site" / "drafts");
  std::ofstream(demo / "projects" / "site" / "drafts" / "post.html") << "draft";
  fs::rename(demo / "photos" / "old-name.jpg", demo / "photos" / "holiday.jpg");
  std::ofstream(demo / "photos" / "tmp.jpg") << "x";
  fs::remove(demo / "photos" / "tmp.jpg");
  fs::remove_all(demo / "projects" / "site" / "drafts");
  pause(2500);

  bool ok = save(main, out, "main-tree.png");
  // The context menu of the last row of the tree (its exclusions locked while recording).
  const QModelIndex last = main.treeModel().index(main.treeModel().rowCount() - 1);
  if (const std::optional<tw::PathTarget> target = main.targetOf(last)) {
    main.prepareRowMenu(*target);
    main.rowMenu->popup(main.mapToGlobal(QPoint(60, 120)));
    pause(200);
    ok = save(*main.rowMenu, out, "main-context-menu.png") && ok;
    main.rowMenu->hide();
  }
  main.onShowList();
  pause(300);
  ok = save(main, out, "main-list.png") && ok;
  main.onShowTree();

  // The settings pages, while the recording runs (the capture choices are locked).
  settings.move(80, 80);
  settings.show();
  pause(300);
  const char* pages[] = {"General Settings", "Drives to Monitor", "Extension and Folders", "Events Filters"};
  const char* files[] = {"settings-general.png", "settings-drives.png", "settings-filters.png",
                         "settings-events.png"};
  for (int i = 0; i < 4; ++i) {
    const auto found = settings.navigationTree()->findItems(QString::fromUtf8(pages[i]),
                                                            Qt::MatchExactly | Qt::MatchRecursive);
    if (found.isEmpty()) continue;
    settings.navigationTree()->setCurrentItem(found.first());
    settings.onNavigationClicked();
    pause(300);
    ok = save(settings, out, QString::fromUtf8(files[i])) && ok;
  }
  settings.hide();

  main.onRecord();
  while (main.recording().state() != tw::RecordingState::Idle) pause(50);

  // A recording made headless on a server, with the processes that made the changes, opened and
  // filtered in the list.
  const fs::path server = fs::temp_directory_path() / "tarnwatch-demo-server.jsonl";
  {
    std::ofstream lines(server);
    struct Line {
      tw::EventKind kind;
      const char* path;
      const char* newPath;
      int pid;
      const char* process;
    } demoLines[] = {
        {tw::EventKind::FolderCreated, "/srv/www/site/assets", "", 2211, "rsync"},
        {tw::EventKind::FileCreated, "/srv/www/site/assets/logo.png", "", 2211, "rsync"},
        {tw::EventKind::FileUpdated, "/srv/www/site/index.html", "", 2211, "rsync"},
        {tw::EventKind::FileUpdated, "/var/log/nginx/access.log", "", 912, "nginx"},
        {tw::EventKind::FileRenamed, "/srv/www/site/news.tmp", "/srv/www/site/news.html", 3107, "vim"},
        {tw::EventKind::FileDeleted, "/srv/www/site/old.html", "", 3120, "rm"},
        {tw::EventKind::Attributes, "/etc/nginx/nginx.conf", "", 0, ""},
        {tw::EventKind::FileCreated, "/srv/www/site/feed.xml", "", 4410, "python3"},
    };
    for (const Line& line : demoLines) {
      tw::Change change;
      change.kind = line.kind;
      change.path = line.path;
      change.newPath = line.newPath;
      change.pid = line.pid;
      change.process = line.process;
      change.time = std::chrono::system_clock::now();
      lines << tw::jsonLine(change) << "\n";
    }
  }
  main.onClean();
  quietDialogs.quiet = true;
  main.openRecording(QString::fromStdString(server.string()));
  while (main.isOpeningRecording()) pause(50);
  main.onShowList();
  main.onFind();
  main.setFilterText(QStringLiteral("site"));
  pause(300);
  ok = save(main, out, "main-filter.png") && ok;
  // The same filter in the tree: the matching nodes with the folders on their way.
  main.onShowTree();
  pause(300);
  ok = save(main, out, "main-filter-tree.png") && ok;
  fs::remove(server);
  fs::remove_all(demo);
  fs::remove(ini);
  return ok ? 0 : 1;
}
