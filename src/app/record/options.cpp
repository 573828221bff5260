#include "app/record/options.h"

#include <charconv>
#include <cmath>

namespace tw::record {

std::string usageText() {
  return "Usage: tarnwatch-record [--config FILE] [--drive PATH]... [--duration SECONDS]\n"
         "                        [--stop-timeout SECONDS] [--format tsv|jsonl] [--export FILE]\n"
         "                        [--replay FILE] [--inotify] [--path-style windows|posix]\n"
         "                        [--help] [--version]\n"
         "\n"
         "Records the changes made to the file system and prints each delivered event.\n"
         "\n"
         "  --config FILE       settings file (default: config.ini beside the program)\n"
         "  --drive PATH        watch this folder, recursively, instead of every drive (repeatable;\n"
         "                      a folder inside another one given is watched once)\n"
         "  --duration SECONDS  stop after this long (default: until SIGINT, SIGTERM, SIGHUP or\n"
         "                      SIGPIPE)\n"
         "  --stop-timeout SECONDS\n"
         "                      after a stop, deliver what was read for at most this long\n"
         "                      (default: however long it takes; a second signal also ends it)\n"
         "  --format tsv|jsonl  tsv: From, To, Action and Work Path separated by TAB (default);\n"
         "                      jsonl: one JSON object per event\n"
         "  --export FILE       write the report when the recording ends\n"
         "  --replay FILE       capture nothing: read events in the jsonl form and deliver them\n"
         "  --inotify           use inotify even where fanotify is available\n"
         "  --path-style windows|posix\n"
         "                      how replayed paths are split (default: this system's)\n"
         "  --help              print this text\n"
         "  --version           print the version\n"
         "\n"
         "tarnwatch-record --capture-helper --drive PATH... [--kinds MASK]\n"
         "  The desktop program's whole-drive capture, started by it through pkexec: streams the\n"
         "  changes of the folders to standard output until standard input ends.\n";
}

namespace {

// A number of seconds as milliseconds; none, with the reason in `error`, for what is not a
// number of seconds or cannot be represented.
std::optional<std::chrono::milliseconds> parseSeconds(const std::string& name, const std::string& text,
                                                      std::string& error) {
  double seconds = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), seconds);
  if (ec == std::errc::result_out_of_range || (ec == std::errc() && end == text.data() + text.size() &&
                                               std::isfinite(seconds) && seconds > kLongestSeconds)) {
    error = name + " takes at most " + std::to_string(static_cast<long long>(kLongestSeconds)) +
            " seconds, not '" + text + "'";
    return std::nullopt;
  }
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(seconds) || seconds < 0) {
    error = name + " takes a number of seconds, not '" + text + "'";
    return std::nullopt;
  }
  return std::chrono::milliseconds(static_cast<std::int64_t>(seconds * 1000.0));
}

}  // namespace

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
    } else if (arg == "--duration" || arg == "--stop-timeout") {
      const auto* v = value(arg.c_str());
      if (v == nullptr) return std::nullopt;
      const auto time = parseSeconds(arg, *v, error);
      if (!time) return std::nullopt;
      (arg == "--duration" ? options.duration : options.stopTimeout) = *time;
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
