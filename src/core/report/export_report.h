#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/model/capture_views.h"
#include "core/report/md5.h"
#include "platform/files.h"

namespace tw {

// The export report: the header, the capture tree with the digest of every node that names an
// existing file, and the capture list. Runs on the user-interface thread; the views cannot
// change meanwhile.

inline constexpr std::string_view kMakerName = "Velvane Software";
inline constexpr std::string_view kMakerWebPage = "https://velvane.example/";
inline constexpr std::string_view kReportRule = "------------------------------------------------";  // 48
// The digest suffix of a file that exists but cannot be read.
inline constexpr std::string_view kUnreadableDigest = "unreadable";

// The digest of a file's whole content, of any size; none when there is no file at the path
// or it cannot be read to its end. A zero-length file gives the digest of empty content.
std::optional<Md5Digest> fileDigest(Files& files, std::string_view fileName);

// The digest text of the file at fileName (links followed); "unreadable" for a file that
// exists but cannot be read; empty when there is no file (nothing there, or a folder).
std::string fileDigestText(Files& files, std::string_view fileName);

// The indentation of a tree line: nothing for level 0, else level copies of " --" and ">",
// without the leading space: -->, -- -->, -- -- -->.
std::string levelIndent(int level);

// Every row of the list: its four cells as the list shows them (control characters made
// visible, so that no name starts a line or a cell), each followed by TAB, and CR LF. Empty
// without rows.
std::string listRowsText(const CaptureViews& views);

// The whole report text; every line ends with CR LF but the closing rule. `caption` is the
// main window's caption. Each tree line shows its node's text as the tree shows it; the node's
// path (without the separator at its end, in the views' path style) finds the file whose digest
// is shown.
std::string buildExportReport(std::string_view caption, const CaptureViews& views, Files& files);

// Writes the report of `views` to fileName as writeReportFile(buildExportReport(...)) would,
// byte for byte, but as it is made: neither the report nor its encoded form is held whole.
// An exception thrown while it is made (by `files`) leaves the old file whole and is thrown on.
bool exportReportFile(Files& files, std::string_view fileName, std::string_view caption,
                      const CaptureViews& views, std::string* error = nullptr);

// Writes `text` to fileName as a report file: split into lines (CR LF, lone CR and lone LF
// each end one; a break at the very end adds no empty line), each line ended by CR LF, in
// the platform's report encoding. Creates or replaces the file so that a failed write leaves
// the old file whole. True when the write succeeded and a file exists at fileName
// afterwards; `error`, when given, receives the system's reason otherwise.
bool writeReportFile(Files& files, std::string_view fileName, std::string_view text,
                     std::string* error = nullptr);

}  // namespace tw
