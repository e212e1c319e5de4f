// The dry run written out: as text for the publisher, as JSON for a build server.
#include <string>

#include "engine/InstallList.h"
#include "tools/JsonText.h"
#include "tools/setupcheck/DryRun.h"

namespace {

std::string Json(const std::string& text) { return JsonQuote(text); }

// One JSON object from name/value pairs whose values are already JSON.
std::string Object(std::initializer_list<std::pair<const char*, std::string>> fields) {
  std::string out = "{";
  for (const auto& [name, value] : fields) out += (out.size() > 1 ? ", " : "") + Json(name) + ": " + value;
  return out + "}";
}

template <typename T, typename F>
std::string Array(const std::vector<T>& items, F each) {
  std::string out = "[";
  for (const T& item : items) out += (out.size() > 1 ? ",\n    " : "\n    ") + each(item);
  return out + (items.empty() ? "]" : "\n  ]");
}

std::string Lines(const std::string& text) {
  std::string out;
  for (const std::string& line : SplitLines(text)) out += "    " + line + "\n";
  return out;
}

}  // namespace

std::string DryRunText(const DryRun& run) {
  std::string out = "Dry run on " + run.version + "\n\nFiles:\n";
  for (const auto& f : run.files)
    out +=
        "  " + f.path + "  " + std::to_string(f.size) + " bytes" + (f.replaced ? " (replaced)" : "") + "\n";
  if (run.files.empty()) out += "  none\n";
  if (!run.removedFiles.empty()) {
    out += "\nFiles removed:\n";
    for (const auto& f : run.removedFiles) out += "  " + f + "\n";
  }
  out += "\nRegistry values:\n";
  for (const auto& v : run.values)
    out +=
        "  " + v.key + "  " + (v.name.empty() ? "(default)" : v.name) + "  " + v.type + "  " + v.data + "\n";
  if (run.values.empty()) out += "  none\n";
  if (!run.removedValues.empty()) {
    out += "\nRegistry values removed:\n";
    for (const auto& v : run.removedValues) out += "  " + v + "\n";
  }
  out += "\nShortcuts:\n";
  for (const auto& s : run.shortcuts) {
    out += "  " + s.file + "\n    target: " + s.target + "\n";
    if (!s.arguments.empty()) out += "    arguments: " + s.arguments + "\n";
    out += "    working folder: " + s.workingFolder + "\n";
    out += "    icon: " + s.iconFile + ", " + std::to_string(s.iconIndex) + "\n";
    if (!s.description.empty()) out += "    description: " + s.description + "\n";
  }
  if (run.shortcuts.empty()) out += "  none\n";
  out += "\nUninstall data:";
  out += run.uninstallDataFile.empty() ? std::string(" none\n")
                                       : " " + run.uninstallDataFile + "\n" + Lines(run.uninstallData);
  out += "\nPending replacements (at the next start of Windows):\n";
  for (const auto& p : run.pending) out += "  " + p + "\n";
  if (run.pending.empty()) out += "  none\n";
  out += "\nInstall log:";
  out += run.logFile.empty() ? std::string(" none\n") : " " + run.logFile + "\n" + Lines(run.log);
  out += "\nBoxes:\n";
  for (const auto& b : run.boxes)
    out += "  \"" + b.text + "\" [" + b.buttons + (b.icon.empty() ? "" : ", " + b.icon) + "] -> " + b.answer +
           "\n";
  if (run.boxes.empty()) out += "  none\n";
  if (!run.started.empty()) {
    out += "\nStarted:\n";
    for (const auto& s : run.started) out += "  " + s + "\n";
  }
  if (!run.notes.empty()) {
    out += "\nNotes:\n";
    for (const auto& n : run.notes) out += "  " + n + "\n";
  }
  if (!run.loop.empty()) out += "\n" + run.loop + "\n";
  if (run.wizardWaited)
    out += "\nThe wizard stopped on a page and waited for the user; the dry run closed it.\n";
  if (run.restart) out += "\nThe setup restarts Windows at its end.\n";
  out += "\nExit: " + std::to_string(run.exitCode) + "\n";
  return out;
}

std::string DryRunJson(const DryRun& run) {
  auto strings = [](const std::vector<std::string>& items) {
    return Array(items, [](const std::string& s) { return Json(s); });
  };
  std::string out = "{\n  \"version\": " + Json(run.version);
  out += ",\n  \"files\": " + Array(run.files, [](const DryRun::File& f) {
           return Object({{"path", Json(f.path)},
                          {"size", std::to_string(f.size)},
                          {"replaced", f.replaced ? "true" : "false"}});
         });
  out += ",\n  \"removed_files\": " + strings(run.removedFiles);
  out +=
      ",\n  \"registry\": " + Array(run.values, [](const DryRun::Value& v) {
        return Object(
            {{"key", Json(v.key)}, {"name", Json(v.name)}, {"type", Json(v.type)}, {"data", Json(v.data)}});
      });
  out += ",\n  \"removed_values\": " + strings(run.removedValues);
  out += ",\n  \"shortcuts\": " + Array(run.shortcuts, [](const DryRun::Shortcut& s) {
           return Object({{"file", Json(s.file)},
                          {"target", Json(s.target)},
                          {"arguments", Json(s.arguments)},
                          {"working_folder", Json(s.workingFolder)},
                          {"icon_file", Json(s.iconFile)},
                          {"icon_index", std::to_string(s.iconIndex)},
                          {"description", Json(s.description)},
                          {"show_command", std::to_string(s.showCommand)}});
         });
  out += ",\n  \"uninstall_data\": " +
         Object({{"file", Json(run.uninstallDataFile)}, {"lines", strings(SplitLines(run.uninstallData))}});
  out += ",\n  \"pending\": " + strings(run.pending);
  out += ",\n  \"log\": " + Object({{"file", Json(run.logFile)}, {"lines", strings(SplitLines(run.log))}});
  out += ",\n  \"boxes\": " + Array(run.boxes, [](const DryRun::Box& b) {
           return Object({{"text", Json(b.text)},
                          {"caption", Json(b.caption)},
                          {"buttons", Json(b.buttons)},
                          {"answer", Json(b.answer)},
                          {"icon", Json(b.icon)}});
         });
  out += ",\n  \"started\": " + strings(run.started);
  out += ",\n  \"notes\": " + strings(run.notes);
  out += ",\n  \"loop\": " + (run.loop.empty() ? std::string("null") : Json(run.loop));
  out += ",\n  \"wizard_waited\": " + std::string(run.wizardWaited ? "true" : "false");
  out += ",\n  \"restart\": " + std::string(run.restart ? "true" : "false");
  out += ",\n  \"exit\": " + std::to_string(run.exitCode) + "\n}\n";
  return out;
}
