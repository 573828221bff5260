#include "core/report/change_export.h"

#include <stdexcept>

#include "core/report/jsonl.h"

namespace tw {

Change changeOfListRow(const CaptureList& list, int row) {
  Change change;
  change.kind = list.kind(row);
  change.path = list.folder(row);
  change.path += list.name(row);
  change.newPath = list.newPath(row);
  change.pid = list.processId(row);
  change.process = list.processName(row);
  change.time = list.time(row);
  return change;
}

void appendCsvField(std::string& out, std::string_view field) {
  if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
    out += field;
    return;
  }
  out += '"';
  for (const char c : field) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

std::string csvLine(const Change& change) {
  std::string line;
  appendCsvField(line, isoTime(change.time));
  line += ',';
  appendCsvField(line, getEventName(eventNumber(change.kind)));
  line += ',';
  appendCsvField(line, change.path);
  line += ',';
  appendCsvField(line, change.newPath);
  line += ',';
  appendCsvField(line, change.process);
  line += ',';
  if (change.pid != 0) line += std::to_string(change.pid);
  return line;
}

std::string listRowsExport(const CaptureList& list, ExportFormat format, const std::vector<int>* rows) {
  if (format == ExportFormat::Report) throw std::invalid_argument("the report is not a list export");
  std::string text;
  if (format == ExportFormat::Csv) {
    text += kCsvHeader;
    text += "\r\n";
  }
  const auto append = [&](int row) {
    const Change change = changeOfListRow(list, row);
    if (format == ExportFormat::Csv) {
      text += csvLine(change);
      text += "\r\n";
    } else {
      text += jsonLine(change);
      text += '\n';
    }
  };
  if (rows != nullptr) {
    for (const int row : *rows) append(row);
  } else {
    for (int row = 0; row < list.rowCount(); ++row) append(row);
  }
  return text;
}

Status writeListRows(Files& files, std::string_view fileName, const CaptureList& list, ExportFormat format,
                     const std::vector<int>* rows) {
  Status written = files.writeFileAtomically(fileName, listRowsExport(list, format, rows));
  if (!written) return written;
  if (!files.fileExists(fileName))
    return Status::failure("No file exists at " + std::string(fileName) + " after writing it");
  return {};
}

}  // namespace tw
