#include "platform/linux/mount_table.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <set>

#include "core/text/text_lines.h"

namespace tw::linuxfs {

namespace {

std::vector<std::string_view> splitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    const std::size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
    if (i > start) fields.push_back(line.substr(start, i - start));
  }
  return fields;
}

template <typename T>
bool parseNumber(std::string_view text, T& out) {
  if (text.empty()) return false;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
  return ec == std::errc() && end == text.data() + text.size();
}

bool isOctal(char c) { return c >= '0' && c <= '7'; }

const std::set<std::string, std::less<>> kNetwork = {
    "nfs",         "nfs4",      "cifs",           "smb3",        "smbfs",       "ncpfs", "9p",
    "afs",         "ceph",      "glusterfs",      "lustre",      "davfs",       "coda",  "fuse.sshfs",
    "fuse.rclone", "fuse.s3fs", "fuse.glusterfs", "fuse.davfs2", "fuse.cephfs", "gfs2",  "ocfs2"};
const std::set<std::string, std::less<>> kRam = {"tmpfs", "ramfs"};
const std::set<std::string, std::less<>> kOptical = {"iso9660", "udf"};
const std::set<std::string, std::less<>> kPseudo = {"proc",        "sysfs",      "cgroup",
                                                    "cgroup2",     "devpts",     "devtmpfs",
                                                    "securityfs",  "debugfs",    "tracefs",
                                                    "configfs",    "fusectl",    "mqueue",
                                                    "hugetlbfs",   "pstore",     "bpf",
                                                    "binfmt_misc", "autofs",     "efivarfs",
                                                    "rpc_pipefs",  "nsfs",       "overlay",
                                                    "aufs",        "squashfs",   "erofs",
                                                    "selinuxfs",   "nfsd",       "fuse.gvfsd-fuse",
                                                    "fuse.portal", "fuse.lxcfs", "fuse.snapfuse",
                                                    "cramfs",      "devfs",      "usbfs",
                                                    "zonefs"};

std::string withSlash(std::string path) {
  if (path.empty() || path.back() != '/') path.push_back('/');
  return path;
}

// True when `path` is `dir` or lies below it (both without a trailing slash, except "/").
bool isSameOrBelow(std::string_view path, std::string_view dir) {
  if (dir == "/") return !path.empty() && path.front() == '/';
  if (path.size() < dir.size() || path.compare(0, dir.size(), dir) != 0) return false;
  return path.size() == dir.size() || path[dir.size()] == '/';
}

// The entries that are visible: of several mounts on one mount point the last one wins.
std::vector<MountEntry> visibleMounts(std::vector<MountEntry> entries) {
  std::map<std::string, std::size_t> lastAt;
  for (std::size_t i = 0; i < entries.size(); ++i) lastAt[entries[i].mountPoint] = i;
  std::vector<MountEntry> visible;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (lastAt[entries[i].mountPoint] == i) visible.push_back(std::move(entries[i]));
  }
  return visible;
}

}  // namespace

std::string unescapeMountField(std::string_view field) {
  std::string out;
  out.reserve(field.size());
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() && isOctal(field[i + 1]) && isOctal(field[i + 2]) &&
        isOctal(field[i + 3])) {
      const int value = (field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0');
      if (value <= 0xFF) {
        out.push_back(static_cast<char>(value));
        i += 3;
        continue;
      }
    }
    out.push_back(field[i]);
  }
  return out;
}

std::vector<MountEntry> parseMountInfo(std::string_view text) {
  std::vector<MountEntry> entries;
  for (const std::string& line : splitLines(text)) {
    const auto fields = splitFields(line);
    // id parent maj:min root mountpoint options [optional...] - fstype source superoptions
    const auto dash = std::find(fields.begin(), fields.end(), std::string_view("-"));
    if (dash == fields.end() || dash - fields.begin() < 6 || fields.end() - dash < 3) continue;
    MountEntry entry;
    const std::string_view dev = fields[2];
    const auto colon = dev.find(':');
    if (colon == std::string_view::npos || !parseNumber(fields[0], entry.mountId) ||
        !parseNumber(fields[1], entry.parentId) || !parseNumber(dev.substr(0, colon), entry.major) ||
        !parseNumber(dev.substr(colon + 1), entry.minor)) {
      continue;
    }
    entry.root = unescapeMountField(fields[3]);
    entry.mountPoint = unescapeMountField(fields[4]);
    if (entry.mountPoint.empty() || entry.mountPoint.front() != '/') continue;
    entry.fsType = unescapeMountField(dash[1]);
    entry.source = unescapeMountField(dash[2]);
    entries.push_back(std::move(entry));
  }
  return entries;
}

DriveType classifyMount(const MountEntry& entry, MountProbe& probe) {
  const std::string_view type = entry.fsType;
  if (kNetwork.count(type) || type.starts_with("nfs")) return DriveType::Remote;
  if (kRam.count(type)) return DriveType::RamDisk;
  if (kOptical.count(type)) return DriveType::CdRom;
  if (kPseudo.count(type)) return DriveType::Unknown;
  const auto device = probe.blockDevice(entry);
  if (!device) return DriveType::Unknown;
  const std::string_view name = device->name;
  if (name.starts_with("sr") || name.starts_with("scd")) return DriveType::CdRom;
  if (name.starts_with("zram") || name.starts_with("ram")) return DriveType::RamDisk;
  return device->removable ? DriveType::Removable : DriveType::Fixed;
}

std::vector<DriveInfo> drivesFromMountInfo(std::string_view text, MountProbe& probe) {
  const std::vector<MountEntry> visible = visibleMounts(parseMountInfo(text));

  struct Candidate {
    const MountEntry* entry;
    DriveType type;
  };
  std::vector<Candidate> candidates;
  for (const MountEntry& entry : visible) {
    if (!probe.isDirectory(entry.mountPoint)) continue;
    candidates.push_back({&entry, classifyMount(entry, probe)});
  }

  std::vector<DriveInfo> drives;
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    const Candidate& c = candidates[i];
    // A bind mount shows again a file system, or a folder of one, that is listed already: it is
    // the same drive again, not a drive of its own. Of two mounts of the same folder the one
    // made first counts.
    const bool isBind =
        (c.type == DriveType::Fixed || c.type == DriveType::Removable) &&
        std::any_of(candidates.begin(), candidates.end(), [&](const Candidate& other) {
          const std::size_t j = static_cast<std::size_t>(&other - candidates.data());
          if (j == i || other.entry->major != c.entry->major || other.entry->minor != c.entry->minor) {
            return false;
          }
          return other.entry->root == c.entry->root ? j < i : isSameOrBelow(c.entry->root, other.entry->root);
        });
    if (isBind) continue;
    drives.push_back({withSlash(c.entry->mountPoint), c.type});
  }
  std::sort(drives.begin(), drives.end(),
            [](const DriveInfo& a, const DriveInfo& b) { return a.root < b.root; });
  drives.erase(std::unique(drives.begin(), drives.end(),
                           [](const DriveInfo& a, const DriveInfo& b) { return a.root == b.root; }),
               drives.end());
  return drives;
}

std::optional<MountEntry> mountHolding(const std::vector<MountEntry>& entries, std::string_view path) {
  const std::vector<MountEntry> visible = visibleMounts(entries);
  const MountEntry* best = nullptr;
  for (const MountEntry& entry : visible) {
    if (isSameOrBelow(path, entry.mountPoint) &&
        (best == nullptr || entry.mountPoint.size() > best->mountPoint.size())) {
      best = &entry;
    }
  }
  if (best == nullptr) return std::nullopt;
  return *best;
}

}  // namespace tw::linuxfs
