#include "app/record/options.h"

#include <charconv>
#include <cmath>

namespace tw::record {

std::string usageText() {
  return "Usage: tarnwatch-record [--config FILE] [--drive PATH]... [--duration SECONDS]\n"
         "                        [--format tsv|jsonl] [--export FILE] [--replay FILE]\n"
         "                        [--inotify] [--path-style windows|posix] [--help] [--version]\n"
         "\n"
         "Records the changes made to the file system and prints each delivered event.\n"
         "\n"
         "  --config FILE       settings file (default: config.ini beside the program)\n"
         "  --drive PATH        watch this folder, recursively, instead of every drive (repeatable)\n"
         "  --duration SECONDS  stop after this long (default: until SIGINT or SIGTERM)\n"
         "  --format tsv|jsonl  tsv: From, To, Action and Work Path separated by TAB (default);\n"
         "                      jsonl: one JSON object per event\n"
         "  --export FILE       write the report when the recording ends\n"
         "  --replay FILE       capture nothing: read events in the jsonl form and deliver them\n"
         "  --inotify           use inotify even where fanotify is available\n"
         "  --path-style windows|posix\n"
         "                      how replayed paths are split (default: this system's)\n"
         "  --help              print this text\n"
         "  --version           print the version\n";
}

std::optional<RecordOptions> parseRecordArgs(const std::vector<std::string>& args, std::string& error) {
  RecordOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const auto value = [&](const char* name) -> const std::string* {
      if (i + 1 >= args.size()) {
        error = std::string(name) + " needs a value";
        return nullptr;
      }
      return &args[++i];
    };
    if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else if (arg == "--version") {
      options.version = true;
    } else if (arg == "--inotify") {
      options.forceInotify = true;
    } else if (arg == "--config") {
      const auto* v = value("--config");
      if (v == nullptr) return std::nullopt;
      options.config = *v;
    } else if (arg == "--drive") {
      const auto* v = value("--drive");
      if (v == nullptr) return std::nullopt;
      if (v->empty()) {
        error = "--drive needs a folder";
        return std::nullopt;
      }
      options.drives.push_back(*v);
    } else if (arg == "--duration") {
      const auto* v = value("--duration");
      if (v == nullptr) return std::nullopt;
      double seconds = 0;
      const auto [end, ec] = std::from_chars(v->data(), v->data() + v->size(), seconds);
      if (ec != std::errc() || end != v->data() + v->size() || !std::isfinite(seconds) || seconds < 0) {
        error = "--duration takes a number of seconds, not '" + *v + "'";
        return std::nullopt;
      }
      options.duration = seconds;
    } else if (arg == "--format") {
      const auto* v = value("--format");
      if (v == nullptr) return std::nullopt;
      if (*v == "tsv") {
        options.format = OutputFormat::Tsv;
      } else if (*v == "jsonl") {
        options.format = OutputFormat::Jsonl;
      } else {
        error = "--format takes tsv or jsonl, not '" + *v + "'";
        return std::nullopt;
      }
    } else if (arg == "--path-style") {
      const auto* v = value("--path-style");
      if (v == nullptr) return std::nullopt;
      if (*v == "windows") {
        options.pathStyle = PathStyle::Windows;
      } else if (*v == "posix") {
        options.pathStyle = PathStyle::Posix;
      } else {
        error = "--path-style takes windows or posix, not '" + *v + "'";
        return std::nullopt;
      }
    } else if (arg == "--export") {
      const auto* v = value("--export");
      if (v == nullptr) return std::nullopt;
      options.exportFile = *v;
    } else if (arg == "--replay") {
      const auto* v = value("--replay");
      if (v == nullptr) return std::nullopt;
      options.replay = *v;
    } else {
      error = "unknown argument '" + arg + "'";
      return std::nullopt;
    }
  }
  if (options.replay && !options.drives.empty()) {
    error = "--replay captures nothing: it takes no --drive";
    return std::nullopt;
  }
  return options;
}

}  // namespace tw::record
