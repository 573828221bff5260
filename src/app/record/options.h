#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "core/text/path_style.h"

namespace tw::record {

enum class OutputFormat { Tsv, Jsonl };

struct RecordOptions {
  std::optional<std::string> config;                     // --config FILE
  std::vector<std::string> drives;                       // --drive PATH, repeatable
  std::optional<std::chrono::milliseconds> duration;     // --duration SECONDS
  std::optional<std::chrono::milliseconds> stopTimeout;  // --stop-timeout SECONDS
  OutputFormat format = OutputFormat::Tsv;
  std::optional<std::string> exportFile;  // --export FILE
  std::optional<std::string> replay;      // --replay FILE
  bool forceInotify = false;              // --inotify
  std::optional<PathStyle> pathStyle;     // --path-style windows|posix (replay)
  bool help = false;
  bool version = false;
};

// The usage text printed by --help and after a bad argument.
std::string usageText();

// The longest time --duration and --stop-timeout take, in seconds: what milliseconds in 64 bits
// hold. (Anything beyond a century is waited for as if there were no limit.)
inline constexpr double kLongestSeconds = 9.2e15;

// Reads the command line (without the program name). On a bad argument returns none and says
// why in `error`.
std::optional<RecordOptions> parseRecordArgs(const std::vector<std::string>& args, std::string& error);

}  // namespace tw::record
