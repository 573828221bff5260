#include "platform/linux/linux_platform.h"

#include <dirent.h>
#include <fcntl.h>
#include <langinfo.h>
#include <locale.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <QFileInfo>
#include <QMimeDatabase>
#include <QMimeType>
#include <QString>
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>

#include "core/settings/extensions.h"
#include "core/settings/ini_text.h"
#include "platform/linux/mount_table.h"
#include "platform/linux/settings_location.h"

extern char** environ;

namespace tw {

namespace {

std::string readWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

QString qPath(std::string_view bytes) {
  return QFile::decodeName(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

// The icon names of a MIME type, most specific first, separated by ';'.
std::string mimeIconNames(const QMimeType& type) {
  std::string names = type.iconName().toStdString();
  const std::string generic = type.genericIconName().toStdString();
  if (!generic.empty() && generic != names) names += ";" + generic;
  return names;
}

// Reads sysfs to find the block device behind a mount.
class SysfsProbe : public linuxfs::MountProbe {
 public:
  explicit SysfsProbe(std::string sysRoot) : sysRoot(std::move(sysRoot)) {}

  std::optional<linuxfs::BlockDevice> blockDevice(const linuxfs::MountEntry& entry) override {
    unsigned major = entry.major;
    unsigned minor = entry.minor;
    std::string dir = deviceDir(major, minor);
    if (dir.empty() && entry.source.starts_with("/dev/")) {
      // File systems such as btrfs report an anonymous device number; the source names the
      // real one.
      struct stat st {};
      if (stat(entry.source.c_str(), &st) == 0 && S_ISBLK(st.st_mode)) {
        dir = deviceDir(major(st.st_rdev), minor(st.st_rdev));
      }
    }
    if (dir.empty()) return std::nullopt;
    linuxfs::BlockDevice device;
    char resolved[PATH_MAX];
    if (realpath(dir.c_str(), resolved) != nullptr) {
      const std::string full(resolved);
      device.name = full.substr(full.find_last_of('/') + 1);
    }
    // A partition has no "removable" of its own; its disk, one folder up, does.
    std::string removable = trimmed(readWholeFile(dir + "/removable"));
    if (removable.empty()) removable = trimmed(readWholeFile(dir + "/../removable"));
    device.removable = removable == "1";
    return device;
  }

  bool isDirectory(const std::string& mountPoint) override {
    struct stat st {};
    return stat(mountPoint.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }

 private:
  std::string deviceDir(unsigned major, unsigned minor) const {
    const std::string dir = sysRoot + "/dev/block/" + std::to_string(major) + ":" + std::to_string(minor);
    struct stat st {};
    return stat(dir.c_str(), &st) == 0 ? dir : std::string();
  }

  std::string sysRoot;
};

std::string withoutTrailingSlash(std::string_view path) {
  std::string p(path);
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  return p;
}

}  // namespace

std::string fileTypeKey(std::string_view name) {
  const auto slash = name.rfind('/');
  const std::string_view last = slash == std::string_view::npos ? name : name.substr(slash + 1);
  const auto lastDot = last.rfind('.');
  if (lastDot == std::string_view::npos) return std::string(last);
  const auto secondDot = lastDot == 0 ? std::string_view::npos : last.rfind('.', lastDot - 1);
  return std::string(last.substr(secondDot == std::string_view::npos ? lastDot : secondDot));
}

LinuxPlatform::LinuxPlatform(std::string procRoot, std::string sysRoot)
    : procRoot(std::move(procRoot)), sysRoot(std::move(sysRoot)) {}

LinuxPlatform::~LinuxPlatform() = default;

std::string LinuxPlatform::readMountInfo() const { return readWholeFile(procRoot + "/self/mountinfo"); }

std::vector<DriveInfo> LinuxPlatform::drives() {
  SysfsProbe probe(sysRoot);
  return linuxfs::drivesFromMountInfo(readMountInfo(), probe);
}

Result<std::string> LinuxPlatform::fileSystemName(std::string_view root) {
  const std::string mountPoint = withoutTrailingSlash(root);
  std::optional<std::string> name;
  for (const auto& entry : linuxfs::parseMountInfo(readMountInfo())) {
    if (entry.mountPoint == mountPoint) name = entry.fsType;  // the last mount there is visible
  }
  if (!name) return Result<std::string>::failure(mountPoint + " is not a mount point");
  return *name;
}

Result<DiskSpace> LinuxPlatform::diskSpace(std::string_view path) {
  struct statvfs st {};
  if (statvfs(std::string(path).c_str(), &st) != 0) {
    return Result<DiskSpace>::failure("Cannot read the size of " + std::string(path) + ": " +
                                      std::strerror(errno));
  }
  DiskSpace space;
  space.total = static_cast<std::int64_t>(st.f_blocks) * static_cast<std::int64_t>(st.f_frsize);
  space.freeToCaller = static_cast<std::int64_t>(st.f_bavail) * static_cast<std::int64_t>(st.f_frsize);
  return space;
}

Result<std::string> LinuxPlatform::systemFolder() {
  struct stat st {};
  if (stat("/usr", &st) == 0 && S_ISDIR(st.st_mode)) return std::string("/usr");
  return Result<std::string>::failure("/usr is not a folder");
}

Result<std::string> LinuxPlatform::systemDriveRoot() {
  auto folder = systemFolder();
  if (!folder) return folder;
  const std::string& dir = folder.value();
  char resolved[PATH_MAX];
  const std::string real = realpath(dir.c_str(), resolved) != nullptr ? std::string(resolved) : dir;
  const auto entry = linuxfs::mountHolding(linuxfs::parseMountInfo(readMountInfo()), real);
  if (!entry) return Result<std::string>::failure("No mount holds " + real);
  std::string root = entry->mountPoint;
  if (root.back() != '/') root.push_back('/');
  return root;
}

LinuxPlatform::TypeIcon LinuxPlatform::typeIconByName(std::string_view name) {
  std::string key = fileTypeKey(name);
  {
    std::shared_lock read(typeLock);
    auto it = typeIcon.find(key);
    if (it != typeIcon.end()) return it->second;
  }
  // The key stands for the name. A bare extension is asked as a file name ("x.txt"): the
  // database treats ".txt" alone as a hidden file without a type, where the type of the
  // extension is meant.
  const QMimeDatabase db;
  const std::string probeName = key.starts_with('.') ? "x" + key : key;
  const QMimeType type = db.mimeTypeForFile(qPath(probeName), QMimeDatabase::MatchExtension);
  const TypeIcon icon{icons.intern(mimeIconNames(type)), type.isValid() && !type.isDefault()};
  std::unique_lock write(typeLock);
  typeIcon.emplace(std::move(key), icon);
  return icon;
}

int LinuxPlatform::fileTypeIcon(std::string_view name) { return typeIconByName(name).index; }

int LinuxPlatform::pathIcon(std::string_view path) {
  if (path.empty()) return 0;
  // One lookup answers whether the object exists, what it is and whether a folder is the root
  // of a mount (a drive), where a second lookup of its parent would otherwise be needed.
  struct statx st {};
  if (::statx(AT_FDCWD, std::string(path).c_str(), 0, STATX_TYPE, &st) != 0) return 0;
  if (S_ISDIR(st.stx_mode)) {
    std::string_view dir = path;
    while (dir.size() > 1 && dir.back() == '/') dir.remove_suffix(1);
    bool mountRoot = dir == "/";
    if (!mountRoot && (st.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) != 0) {
      mountRoot = (st.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
    } else if (!mountRoot) {
      // A kernel that cannot tell (before Linux 5.8): a folder on another device than its
      // parent is a mount root.
      struct stat parent {};
      const std::string parentPath = std::string(dir) + "/..";
      mountRoot = ::stat(parentPath.c_str(), &parent) == 0 &&
                  (major(parent.st_dev) != st.stx_dev_major || minor(parent.st_dev) != st.stx_dev_minor);
    }
    if (mountRoot) return icons.intern("drive-harddisk;folder");
    if (const char* home = getenv("HOME"); home != nullptr && *home != '\0') {
      std::string_view homeDir(home);
      while (homeDir.size() > 1 && homeDir.back() == '/') homeDir.remove_suffix(1);
      if (homeDir == dir) return icons.intern("user-home;folder");
    }
    return icons.intern("folder");
  }
  // An existing file shows the icon of its type: from its name, as file-type icons are
  // (asked once per type); its content is read only when the name tells no type.
  if (const TypeIcon byName = typeIconByName(path); byName.known) return byName.index;
  const QMimeDatabase db;
  return icons.intern(mimeIconNames(db.mimeTypeForFile(qPath(path), QMimeDatabase::MatchDefault)));
}

std::string LinuxPlatform::iconName(int index) { return icons.name(index); }

void LinuxPlatform::open(std::string_view target) {
  if (target.empty()) return;
  const std::string arg(target);
  // No shell in between: the target is one argument, whatever characters it holds.
  char program[] = "xdg-open";
  char* argv[] = {program, const_cast<char*>(arg.c_str()), nullptr};
  pid_t pid = 0;
  if (posix_spawnp(&pid, program, nullptr, nullptr, argv, environ) != 0) return;
  // Reap the child without making the caller wait for it.
  std::thread([pid] {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }).detach();
}

Result<std::string> LinuxPlatform::computerName() {
  char name[HOST_NAME_MAX + 1] = {};
  if (gethostname(name, sizeof name) != 0) {
    return Result<std::string>::failure(std::string("Cannot read the computer's name: ") +
                                        std::strerror(errno));
  }
  name[HOST_NAME_MAX] = '\0';
  if (name[0] == '\0') return Result<std::string>::failure("The computer has no name");
  return std::string(name);
}

std::string LinuxPlatform::timeOfDay(std::chrono::system_clock::time_point moment) {
  // The user's time format comes from LC_ALL, LC_TIME or LANG; "C" when none is usable.
  static const locale_t userLocale = [] {
    locale_t loc = newlocale(LC_TIME_MASK, "", nullptr);
    return loc != nullptr ? loc : newlocale(LC_TIME_MASK, "C", nullptr);
  }();
  const time_t now = std::chrono::system_clock::to_time_t(moment);
  struct tm local {};
  localtime_r(&now, &local);
  char text[128] = {};
  const std::size_t n = strftime_l(text, sizeof text, "%X", &local, userLocale);
  return std::string(text, n);
}

namespace {

// The path a write should replace: a symbolic link is followed (also one whose target does not
// exist yet), so a config.ini or report kept as a link updates the file it points to instead of
// turning into a plain file. Only links of the calling user are followed: a link somebody else
// planted (in /tmp, say) is replaced itself, never the file it points to. Loops stop after a
// bounded number of links; the last path is kept.
std::string followLinks(std::string path) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode) || st.st_uid != ::geteuid()) break;
    std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : PATH_MAX), '\0');
    const ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
    if (n <= 0) break;
    link.resize(static_cast<std::size_t>(n));
    if (link.front() != '/') {
      const auto slash = path.rfind('/');
      if (slash != std::string::npos) link.insert(0, path, 0, slash + 1);
    }
    path = std::move(link);
  }
  return path;
}

}  // namespace

Status LinuxPlatform::writeFileAtomically(std::string_view path, std::string_view bytes) {
  return writeFileAtomicallyFrom(path, [bytes](const ChunkWriter& write) { write(bytes); });
}

Status LinuxPlatform::writeFileAtomicallyFrom(std::string_view path,
                                              const std::function<void(const ChunkWriter&)>& produce) {
  const std::string target = followLinks(std::string(path));
  const auto fail = [&](const char* what) {
    return Status::failure("Cannot " + std::string(what) + " " + target + ": " + std::strerror(errno));
  };
  const auto slash = target.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));
  // Only a file is ever replaced: a device, a pipe, a socket or a folder at the path (or behind
  // a link) stays as it is.
  struct stat old {};
  const bool exists = stat(target.c_str(), &old) == 0;
  if (exists && !S_ISREG(old.st_mode)) {
    return Status::failure("Cannot write " + target +
                           ": it is not a regular file (a device, a pipe, a socket or a folder); "
                           "a report is written only to a file.");
  }
  // The content goes first into a file without a name (O_TMPFILE), so that a write cut short
  // leaves nothing behind; it is named only once whole. Where the file system cannot do that,
  // a hidden temporary file is used.
  std::string temp;
  int fd = ::open(dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
  const bool unnamed = fd >= 0;
  if (!unnamed) {
    temp = dir + "/.tarnwatch-XXXXXX";
    fd = mkstemp(temp.data());
  }
  if (fd < 0) return fail("write");
  // Keep the permissions of the file being replaced; a new file gets the usual 0666 & ~umask.
  if (exists) {
    fchmod(fd, old.st_mode & 07777);
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
  }
  // The chunks as they come; after a failed write the rest is not written, and the failure is
  // told once the content has been made.
  std::optional<Status> writeFailed;
  const ChunkWriter write = [&](std::string_view bytes) {
    std::size_t done = 0;
    while (!writeFailed && done < bytes.size()) {
      const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0)
        writeFailed = fail("write");
      else
        done += static_cast<std::size_t>(n);
    }
  };
  try {
    produce(write);
  } catch (...) {
    ::close(fd);
    if (!unnamed) ::unlink(temp.c_str());
    throw;
  }
  if (writeFailed) {
    ::close(fd);
    if (!unnamed) ::unlink(temp.c_str());
    return *writeFailed;
  }
  if (::fsync(fd) != 0) {
    Status failed = fail("write");
    ::close(fd);
    if (!unnamed) ::unlink(temp.c_str());
    return failed;
  }
  if (unnamed) {
    // Named now, under a hidden name beside the target, then renamed over it.
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    bool named = false;
    for (int attempt = 0; attempt < 100 && !named; ++attempt) {
      temp = dir + "/.tarnwatch-" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
      named = ::linkat(AT_FDCWD, link, AT_FDCWD, temp.c_str(), AT_SYMLINK_FOLLOW) == 0;
      if (!named && errno != EEXIST) break;
    }
    if (!named) {
      Status failed = fail("write");
      ::close(fd);
      return failed;
    }
  }
  if (::close(fd) != 0) {
    Status failed = fail("write");
    ::unlink(temp.c_str());
    return failed;
  }
  if (::rename(temp.c_str(), target.c_str()) != 0) {
    Status failed = fail("replace");
    ::unlink(temp.c_str());
    return failed;
  }
  // Make the rename itself durable.
  const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
  return {};
}

Files::ReadResult LinuxPlatform::folderNames(std::string_view folder, std::vector<std::string>& names) {
  names.clear();
  const std::string p(folder);
  if (p.empty()) return ReadResult::Missing;
  const int fd = ::open(p.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? ReadResult::Missing : ReadResult::Unreadable;
  DIR* dir = ::fdopendir(fd);
  if (dir == nullptr) {
    ::close(fd);
    return ReadResult::Unreadable;
  }
  ReadResult result = ReadResult::Done;
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir);
    if (entry == nullptr) {
      if (errno != 0) result = ReadResult::Unreadable;
      break;
    }
    const std::string_view name(entry->d_name);
    if (name == "." || name == "..") continue;
    names.emplace_back(name);
  }
  ::closedir(dir);
  if (result != ReadResult::Done) names.clear();
  return result;
}

Files::ReadResult LinuxPlatform::readFileContent(std::string_view path,
                                                 const std::function<void(std::string_view)>& sink) {
  const std::string p(path);
  struct stat st {};
  // Only regular files are files: a folder is not, and opening a FIFO or a device could block
  // or never end.
  if (p.empty() || ::stat(p.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return ReadResult::Missing;
  const int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return errno == ENOENT ? ReadResult::Missing : ReadResult::Unreadable;
  // The path may have been replaced by something else between stat and open.
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return ReadResult::Missing;
  }
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  // A buffer that stays in the processor's cache while the digest reads it. The reads stop at
  // the size the file had when it was opened, so that a file still growing (or one that never
  // ends) cannot keep the export reading; a file that says it is empty but has content (the
  // kernel's files under /proc) has no known size and is not read.
  constexpr std::size_t kChunk = std::size_t{128} * 1024;
  const std::unique_ptr<char[]> buffer(new char[kChunk]);
  ReadResult result = ReadResult::Done;
  auto remaining = static_cast<std::uint64_t>(st.st_size);
  if (remaining == 0) {
    ssize_t n = 0;
    do n = ::read(fd, buffer.get(), 1);
    while (n < 0 && errno == EINTR);
    if (n != 0) result = ReadResult::Unreadable;
  }
  while (remaining > 0) {
    const ssize_t n =
        ::read(fd, buffer.get(), static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, remaining)));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      result = ReadResult::Unreadable;
      break;
    }
    if (n == 0) break;  // shrunk meanwhile: what was there
    sink(std::string_view(buffer.get(), static_cast<std::size_t>(n)));
    remaining -= static_cast<std::uint64_t>(n);
  }
  ::close(fd);
  return result;
}

bool LinuxPlatform::fileExists(std::string_view path) {
  const std::string p(path);
  struct stat st {};
  return !p.empty() && ::stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Settings.

namespace {

// The errno of readProfileFile for a path that is there but is no regular file.
constexpr int kNotARegularFile = EBADFD;

// The whole file, or none with errno set when it cannot be opened or read. Something that is
// not a regular file (a folder, a FIFO, a device) is not read: a FIFO would block the reader for
// as long as nobody writes to it.
std::optional<std::string> readProfileFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return std::nullopt;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    errno = kNotARegularFile;
    return std::nullopt;
  }
  std::string text;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int saved = errno;
      ::close(fd);
      errno = saved;
      return std::nullopt;
    }
    if (n == 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return text;
}

// Makes `folder` and its missing parents. A folder made here gets 0700: a settings folder made
// for a user is that user's own, as the XDG base directory rules ask.
Status makeFolders(const std::string& folder) {
  if (folder.empty() || folder == "/") return {};
  struct stat st {};
  if (::stat(folder.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return {};
    return Status::failure("Cannot make the folder " + folder + ": something else has that name");
  }
  const auto slash = folder.rfind('/');
  if (slash != std::string::npos && slash > 0) {
    if (Status parent = makeFolders(folder.substr(0, slash)); !parent.ok()) return parent;
  }
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
    return Status::failure("Cannot make the folder " + folder + ": " + std::strerror(errno));
  return {};
}

// Whether this user may create and replace files in `folder` now: false for a missing folder,
// one without the rights, or one on a read-only file system. With the effective ids, as a file
// would be made.
bool folderWritable(const std::string& folder) {
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  return ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

// The home folder the user database gives the effective user; empty when it has no entry.
std::string databaseHomeFolder() {
  struct passwd entry {};
  struct passwd* found = nullptr;
  std::vector<char> buffer(16384);
  if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr ||
      entry.pw_dir == nullptr)
    return {};
  return entry.pw_dir;
}

}  // namespace

std::string LinuxPlatform::readString(std::string_view path, std::string_view section, std::string_view key,
                                      std::string_view defaultValue) {
  const auto text = readProfileFile(std::string(path));
  if (!text) return std::string(defaultValue);
  return iniReadValue(*text, section, key).value_or(std::string(defaultValue));
}

Status LinuxPlatform::writeString(std::string_view path, std::string_view section, std::string_view key,
                                  std::string_view value) {
  const std::string target(path);
  if (const std::string refused = iniCheckEntry(section, key, value); !refused.empty()) {
    return Status::failure("Cannot write " + target + ": " + refused);
  }
  std::lock_guard guard(profileLock);
  auto text = readProfileFile(target);
  if (!text) {
    // A file that exists but cannot be read is never replaced: its other keys would be lost.
    if (errno == kNotARegularFile)
      return Status::failure("Cannot write " + target + ": it is not a regular file");
    if (errno != ENOENT) return Status::failure("Cannot read " + target + ": " + std::strerror(errno));
    // The first save of an installed program makes the user's configuration folder.
    const std::string real = followLinks(target);
    if (const auto slash = real.rfind('/'); slash != std::string::npos && slash > 0) {
      if (Status made = makeFolders(real.substr(0, slash)); !made.ok())
        return Status::failure("Cannot write " + target + ": " + made.error());
    }
    text.emplace();
  }
  return writeFileAtomically(target, iniWriteValue(*text, section, key, value));
}

void LinuxPlatform::flush(std::string_view) {}

std::string LinuxPlatform::fileTypeDescription(std::string_view name) {
  const QMimeDatabase db;
  const QMimeType type = db.mimeTypeForFile(qPath(name), QMimeDatabase::MatchExtension);
  // The database answers every unknown name with its default type; that says nothing of the
  // name, so the name's own extension describes it instead.
  if (!type.isValid() || type.isDefault()) return genericFileTypeDescription(name);
  const std::string comment = type.comment().toStdString();
  return comment.empty() ? genericFileTypeDescription(name) : comment;
}

Result<std::string> LinuxPlatform::executableDirectory() {
  const std::string link = procRoot + "/self/exe";
  std::string target(PATH_MAX, '\0');
  for (;;) {
    const ssize_t n = ::readlink(link.c_str(), target.data(), target.size());
    if (n < 0) return Result<std::string>::failure("Cannot read " + link + ": " + std::strerror(errno));
    if (static_cast<std::size_t>(n) < target.size()) {
      target.resize(static_cast<std::size_t>(n));
      break;
    }
    target.resize(target.size() * 2);  // the path may have been cut: try again with more room
  }
  // A replaced or deleted executable reads as "<path> (deleted)"; its folder is still the one.
  const auto slash = target.rfind('/');
  if (slash == std::string::npos) return Result<std::string>::failure(link + " names no folder");
  return target.substr(0, slash + 1);
}

bool LinuxPlatform::useCaptureHelper(std::string elevate) {
  if (::geteuid() == 0) return false;
  const Result<std::string> folder = executableDirectory();
  if (!folder) return false;
  const std::string helper = folder.value() + "tarnwatch-record";
  if (::access(helper.c_str(), X_OK) != 0) return false;
  helperWatching =
      std::make_unique<HelperChangeWatching>(CaptureHelperCommand{helper, std::move(elevate)}, watching);
  chosenWatching = helperWatching.get();
  return true;
}

Result<std::string> LinuxPlatform::settingsFolder() {
  const Result<std::string> programFolder = executableDirectory();
  const bool writable = programFolder.ok() && folderWritable(*programFolder);
  const std::string databaseHome = writable ? std::string() : databaseHomeFolder();
  return linuxfs::chooseSettingsFolder(
      programFolder, writable, TARNWATCH_INSTALL_BINDIR "/",
      linuxfs::userConfigurationFolder(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"),
                                       databaseHome.empty() ? nullptr : databaseHome.c_str()));
}

Platform systemPlatform() {
  static LinuxPlatform platform;
  return platform.parts();
}

}  // namespace tw
