#include "core/model/presentation.h"

#include "core/model/path_parts.h"
#include "core/text/text_lines.h"

namespace tw {

namespace {

bool isControl(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || byte == 0x7F;
}

// The cells of a row by its facts.
void appendFrom(std::string& out, std::string_view folder, std::string_view name) {
  if (!isBlank(name)) {
    out += name;
  } else if (isBlank(folder)) {
    out += '-';  // the whole path is blank
  } else {
    out += folder;  // no name of its own: the whole path
    out += name;
  }
}

void appendTo(std::string& out, std::string_view newPath, PathStyle style) {
  if (isBlank(newPath)) {
    out += '-';
  } else {
    out += fileNamePart(newPath, style);
  }
}

void appendCell(std::string& out, ListColumn column, std::string_view folder, std::string_view name,
                std::string_view newPath, EventKind kind, PathStyle style) {
  switch (column) {
    case ListColumn::From:
      appendFrom(out, folder, name);
      break;
    case ListColumn::To:
      appendTo(out, newPath, style);
      break;
    case ListColumn::Action:
      out += getEventName(eventNumber(kind));
      break;
    case ListColumn::WorkPath:
      out += folder;
      break;
    case ListColumn::Process:
      break;  // not a fact of the path: see processCellText
  }
}

}  // namespace

std::optional<Rgb> markColour(Mark mark) {
  switch (mark) {
    case Mark::Renamed:
      return Rgb{0x00, 0x00, 0xFF};  // blue
    case Mark::Deleted:
      return Rgb{0xFF, 0x00, 0x00};  // red
    case Mark::Created:
      return Rgb{0x00, 0x80, 0x00};  // green
    case Mark::Plain:
      break;
  }
  return std::nullopt;
}

Mark listMarkOf(EventKind kind) {
  switch (kind) {
    case EventKind::FileCreated:
    case EventKind::FolderCreated:
      return Mark::Created;
    case EventKind::FileDeleted:
    case EventKind::FolderDeleted:
      return Mark::Deleted;
    case EventKind::FolderRenamed:
    case EventKind::FileRenamed:
      return Mark::Renamed;
    default:
      return Mark::Plain;
  }
}

void appendVisible(std::string& out, std::string_view text) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!isControl(text[i])) continue;
    out.append(text.substr(start, i - start));
    // The control pictures: U+2400 + the code for U+0000 to U+001F, U+2421 for U+007F.
    const auto byte = static_cast<unsigned char>(text[i]);
    out += '\xE2';
    out += '\x90';
    out += static_cast<char>(byte == 0x7F ? 0xA1 : 0x80 + byte);
    start = i + 1;
  }
  out.append(text.substr(start));
}

std::string visibleText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  appendVisible(out, text);
  return out;
}

void appendTsvEscaped(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  for (const char c : text) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      default:
        if (isControl(c)) {
          const auto byte = static_cast<unsigned char>(c);
          out += "\\x";
          out += kHex[byte >> 4];
          out += kHex[byte & 0xF];
        } else {
          out += c;
        }
    }
  }
}

ListCells listCells(const Change& change, PathStyle style) {
  const std::string_view folder = folderPart(change.path, style);
  const std::string_view name = std::string_view(change.path).substr(folder.size());
  ListCells cells;
  appendCell(cells.from, ListColumn::From, folder, name, change.newPath, change.kind, style);
  appendCell(cells.to, ListColumn::To, folder, name, change.newPath, change.kind, style);
  appendCell(cells.action, ListColumn::Action, folder, name, change.newPath, change.kind, style);
  appendCell(cells.workPath, ListColumn::WorkPath, folder, name, change.newPath, change.kind, style);
  return cells;
}

std::string tsvLine(const Change& change, PathStyle style) {
  const ListCells cells = listCells(change, style);
  std::string line;
  line.reserve(cells.from.size() + cells.to.size() + cells.action.size() + cells.workPath.size() + 8);
  appendTsvEscaped(line, cells.from);
  line += '\t';
  appendTsvEscaped(line, cells.to);
  line += '\t';
  appendTsvEscaped(line, cells.action);
  line += '\t';
  appendTsvEscaped(line, cells.workPath);
  return line;
}

void appendNodeText(std::string& out, const CaptureTree& tree, NodeId node, Environment& environment) {
  if (const auto deleted = tree.deletedAt(node)) {
    out += '(';
    out += environment.timeOfDay(*deleted);
    out += ") ";
  }
  out += tree.name(node);
  for (const std::string_view renamedTo : tree.renames(node)) {
    out += " -> ";
    out += renamedTo;
  }
}

std::string CapturePresentation::nodeText(const CaptureTree& tree, NodeId node) const {
  if (tree.mark(node) == Mark::Plain) return visibleText(tree.name(node));
  std::string text;
  tw::appendNodeText(text, tree, node, environment);
  return visibleText(text);
}

std::string processCellText(std::int32_t pid, std::string_view name) {
  std::string cell(name);
  if (pid != 0) {
    if (!cell.empty()) cell += ' ';
    cell += '(' + std::to_string(pid) + ')';
  }
  return cell;
}

std::string CapturePresentation::cellText(const CaptureList& list, int row, ListColumn column) const {
  if (column == ListColumn::Process)
    return visibleText(processCellText(list.processId(row), list.processName(row)));
  std::string cell;
  appendCell(cell, column, list.folder(row), list.name(row), list.newPath(row), list.kind(row),
             list.pathStyle());
  return visibleText(cell);
}

int CapturePresentation::cellIcon(const CaptureList& list, int row, ListColumn column) const {
  switch (column) {
    case ListColumn::From:
      return list.icon(row);
    case ListColumn::WorkPath:
      return list.folderIcon(row);
    case ListColumn::To:
    case ListColumn::Action:
    case ListColumn::Process:
      break;
  }
  return 0;
}

}  // namespace tw
