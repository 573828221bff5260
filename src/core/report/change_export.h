#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/events/change.h"
#include "core/model/capture_list.h"
#include "core/text/result.h"
#include "platform/files.h"

namespace tw {

// The exports of the capture list besides the report: CSV and the recorder's jsonl form, of
// every row or of a chosen set of them (the rows a filter shows). Run on the user-interface
// thread; the list cannot change meanwhile.

enum class ExportFormat { Report, Csv, Jsonl };

// The header row of the CSV export (without its line end).
inline constexpr std::string_view kCsvHeader = "time,action,path,new path,process,pid";

// The change a list row was made from: its path, new path, kind, time, pid and process name.
// (Whether the object was a folder is not kept by the list: false.)
Change changeOfListRow(const CaptureList& list, int row);

// Appends one CSV field as RFC 4180 writes it: in double quotes, with each quote doubled, when
// it holds a comma, a double quote, CR or LF; as it is otherwise. The bytes are not changed.
void appendCsvField(std::string& out, std::string_view field);

// One CSV row of a change (without its line end): the time as ISO 8601 in UTC with
// milliseconds, the action's name, the path, the new path, the process name, and the pid (empty
// when unknown).
std::string csvLine(const Change& change);

// The whole CSV or jsonl text of the list's rows: `rows` when given (in that order), else every
// row. CSV: the header row, then one row per change, each ended by CR LF; jsonl: one jsonLine per
// change, each ended by LF. `format` must be Csv or Jsonl.
std::string listRowsExport(const CaptureList& list, ExportFormat format,
                           const std::vector<int>* rows = nullptr);

// Writes listRowsExport to `fileName` as UTF-8, replacing the file so that a failed write leaves
// the old one whole. The system's reason on failure.
Status writeListRows(Files& files, std::string_view fileName, const CaptureList& list, ExportFormat format,
                     const std::vector<int>* rows = nullptr);

}  // namespace tw
