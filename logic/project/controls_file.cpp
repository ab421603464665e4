#include "logic/project/controls_file.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <system_error>
#include <unordered_set>

#include "logic/complex/cp1252.h"
#include "logic/complex/real_chars.h"
#include "logic/evaluator/result_text.h"

namespace ombrix {

namespace fs = std::filesystem;

namespace {

// The side file: a first line naming the format, the switch, then one line per control;
// fields are separated by a tab, numbers written with "." whatever the regional settings.
constexpr std::string_view kHeader = "Ombrix-Regler\t1";
constexpr std::string_view kLiveWord = "live";
constexpr std::string_view kSliderWord = "Schieberegler";
constexpr std::string_view kPointWord = "Punkt";

std::string NumberText(double x) {
  char buffer[64];
  const std::to_chars_result r = ShortestChars(buffer, buffer + sizeof buffer, x);
  return std::string(buffer, r.ptr);
}

std::optional<double> ReadNumber(std::string_view text) {
  double x = 0;
  const std::from_chars_result r = RealFromChars(text.data(), text.data() + text.size(), x);
  if (r.ec != std::errc() || r.ptr != text.data() + text.size() || !std::isfinite(x)) {
    return std::nullopt;
  }
  return x;
}

std::vector<std::string_view> SplitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  for (;;) {
    const std::size_t tab = line.find('\t');
    fields.push_back(line.substr(0, tab));
    if (tab == std::string_view::npos) return fields;
    line.remove_prefix(tab + 1);
  }
}

bool HoldsSeparatorOrLineBreak(std::string_view name) {
  return name.find_first_of("\t\r\n") != std::string_view::npos;
}

std::string Quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

// A name no control may have, whatever the project holds: a constant, or a name the side
// file cannot hold (a carriage return at its end would be read as the line's end).
[[nodiscard]] std::optional<std::string> RefusedName(std::string_view name) {
  const std::string lowered = LowerCase1252(name);
  if (lowered == "i") {
    return "Die imagin\xE4re Gr\xF6\337"
           "e 'i' kann keinen Regler bekommen.";
  }
  if (lowered == "e" || lowered == "pi") {
    return "Die Konstante " + Quoted(name) + " kann keinen Regler bekommen.";
  }
  if (HoldsSeparatorOrLineBreak(name)) {
    std::string shown(name);
    std::replace_if(
        shown.begin(), shown.end(), [](char c) { return c == '\t' || c == '\r' || c == '\n'; },
        '?');
    return "Der Name der Variablen " + Quoted(shown) + " l\xE4sst sich nicht speichern.";
  }
  return std::nullopt;
}

std::string TooManyControls() {
  return "Mehr als " + std::to_string(kMaxControls) + " Regler sind nicht m\xF6glich.";
}

// What the reader has taken so far: the controls and their names, case ignored.
struct ReadState {
  ControlSet set;
  std::unordered_set<std::string> names;
};

// One line of the side file into `read`, or the reason it cannot be read.
[[nodiscard]] std::optional<std::string> ReadLine(std::string_view line, ReadState& read) {
  ControlSet& set = read.set;
  const std::vector<std::string_view> fields = SplitFields(line);
  if (fields[0] == kLiveWord && fields.size() == 2 && (fields[1] == "0" || fields[1] == "1")) {
    set.live = fields[1] == "1";
    return std::nullopt;
  }
  Control control;
  if (fields[0] == kPointWord && fields.size() == 2) {
    control.kind = ControlKind::Point;
  } else if (fields[0] == kSliderWord && fields.size() == 5) {
    const std::optional<double> minimum = ReadNumber(fields[2]);
    const std::optional<double> maximum = ReadNumber(fields[3]);
    const std::optional<double> step = ReadNumber(fields[4]);
    if (!minimum || !maximum || !step) return "Eine Zahl des Schiebereglers ist ung\xFCltig.";
    if (std::optional<std::string> refused = CheckSliderRange(*minimum, *maximum, *step)) {
      return refused;
    }
    control.minimum = *minimum;
    control.maximum = *maximum;
    control.step = *step;
  } else {
    return "Die Zeile ist kein Regler.";
  }
  control.variable = std::string(fields[1]);
  if (control.variable.empty()) return "Dem Regler fehlt der Name seiner Variablen.";
  if (std::optional<std::string> refused = RefusedName(control.variable)) return refused;
  if (!read.names.insert(LowerCase1252(control.variable)).second) {
    return "Die Variable " + Quoted(control.variable) + " hat schon einen Regler.";
  }
  if (set.controls.size() >= kMaxControls) return TooManyControls();
  set.controls.push_back(std::move(control));
  return std::nullopt;
}

std::string PathText(const fs::path& path) { return Utf8ToCp1252(path.string()); }

std::string BrokenFile(const fs::path& file, const std::string& reason) {
  return "Die Reglerdatei \"" + PathText(file) + "\" ist fehlerhaft: " + reason +
         "\nDas Projekt wurde ohne Regler ge\xF6"
         "ffnet.";
}

}  // namespace

int SliderPositions(const Control& slider) {
  // A hair of slack, so that (1 - 0) / 0.1 counts its ten steps.
  const double steps = (slider.maximum - slider.minimum) / slider.step;
  return static_cast<int>(std::floor(steps + 1e-9));
}

double SliderValue(const Control& slider, int position) {
  const int last = SliderPositions(slider);
  const int k = std::clamp(position, 0, last);
  return std::min(slider.minimum + k * slider.step, slider.maximum);
}

int SliderPosition(const Control& slider, double value) {
  if (!(value >= slider.minimum)) return 0;  // NaN included
  const double k = std::round((value - slider.minimum) / slider.step);
  return static_cast<int>(std::min(k, static_cast<double>(SliderPositions(slider))));
}

std::optional<std::string> CheckSliderRange(double minimum, double maximum, double step) {
  if (!std::isfinite(minimum) || !std::isfinite(maximum) || !std::isfinite(step)) {
    return "Minimum, Maximum und Schrittweite m\xFCssen endliche Zahlen sein.";
  }
  if (!(minimum < maximum)) return "Das Minimum muss kleiner als das Maximum sein.";
  if (!(step > 0)) return "Die Schrittweite muss gr\xF6\337er als 0 sein.";
  if (!((maximum - minimum) / step <= kMaxSliderPositions)) {
    return "Der Schieberegler h\xE4tte mehr als eine Million Schritte; w\xE4hlen Sie eine "
           "gr\xF6\337"
           "ere Schrittweite.";
  }
  return std::nullopt;
}

std::optional<std::string> MakeSlider(const std::string& variable, const SliderTerms& terms,
                                      const EvalContext& context, Control& slider) {
  const std::pair<const char*, const std::string*> parts[] = {
      {"Minimum", &terms.minimum}, {"Maximum", &terms.maximum}, {"Schrittweite", &terms.step}};
  double values[3] = {};
  for (std::size_t n = 0; n < 3; ++n) {
    const std::string result = EvaluateTerm(*parts[n].second, context);
    const char* const what = parts[n].first;
    if (!result.empty() && result[0] == '?') {
      return "Bei der Auswertung von " + std::string(what) + " ist der Fehler\n'" +
             ErrorMessageText(result).substr(2) + "'\naufgetreten.";
    }
    const TComplex value = ParseNumberText(result);
    if (!IsRealValue(value)) return std::string(what) + " muss eine reelle Zahl sein.";
    values[n] = value.Re;
  }
  if (std::optional<std::string> refused = CheckSliderRange(values[0], values[1], values[2])) {
    return refused;
  }
  slider = Control{ControlKind::Slider, variable, values[0], values[1], values[2]};
  return std::nullopt;
}

int ControlVariable(const VariableTable& variables, const Control& control) {
  return variables.FindVariable(LowerCase1252(control.variable));
}

std::optional<std::string> CheckControlVariable(const VariableTable& variables,
                                                const ControlSet& set, const std::string& name) {
  if (std::optional<std::string> refused = RefusedName(name)) return refused;
  const std::string lowered = LowerCase1252(name);
  if (name.empty() || variables.FindVariable(lowered) < 0) {
    return "Es gibt keine Variable " + Quoted(name) + ".";
  }
  for (const Control& control : set.controls) {
    if (LowerCase1252(control.variable) == lowered) {
      return "Die Variable " + Quoted(name) + " hat schon einen Regler.";
    }
  }
  if (set.controls.size() >= kMaxControls) return TooManyControls();
  return std::nullopt;
}

std::string ControlsToText(const ControlSet& set) {
  std::string out(kHeader);
  out += '\n';
  out += std::string(kLiveWord) + '\t' + (set.live ? "1" : "0") + '\n';
  for (const Control& control : set.controls) {
    if (control.kind == ControlKind::Point) {
      out += std::string(kPointWord) + '\t' + control.variable + '\n';
    } else {
      out += std::string(kSliderWord) + '\t' + control.variable + '\t' +
             NumberText(control.minimum) + '\t' + NumberText(control.maximum) + '\t' +
             NumberText(control.step) + '\n';
    }
  }
  return out;
}

std::optional<std::string> ControlsFromText(std::string_view text, ControlSet& set) {
  ReadState read;
  int number = 0;
  bool header = false;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    ++number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) continue;
    if (!header) {
      if (line != kHeader) return std::string("Die erste Zeile ist nicht \"Ombrix-Regler 1\".");
      header = true;
      continue;
    }
    if (std::optional<std::string> reason = ReadLine(line, read)) {
      return "Zeile " + std::to_string(number) + ": " + *reason;
    }
  }
  if (!header) return std::string("Die Datei ist leer.");
  set = std::move(read.set);
  return std::nullopt;
}

fs::path ControlsFilePath(const fs::path& project_file) {
  fs::path side = project_file;
  side += kControlsFileSuffix;
  return side;
}

LoadedControls LoadControls(const fs::path& project_file, const FileStore& files) {
  LoadedControls loaded;
  const fs::path file = ControlsFilePath(project_file);
  std::string text;
  // Through the front end's files alone, so that a store in memory has its side files too.
  if (std::optional<FileFailure> failed = files.Read(file, kMaxControlsFileSize, text)) {
    if (failed->missing) return loaded;
    loaded.message = BrokenFile(
        file, failed->too_large ? std::string("Sie ist zu gro\xDF.") : failed->reason + ".");
    return loaded;
  }
  return ControlsFromBytes(text, file);
}

LoadedControls ControlsFromBytes(std::string_view bytes, const fs::path& file) {
  LoadedControls loaded;
  if (bytes.size() > kMaxControlsFileSize) {
    loaded.message = BrokenFile(file, "Sie ist zu gro\xDF.");
  } else if (std::optional<std::string> reason = ControlsFromText(bytes, loaded.set)) {
    loaded.message = BrokenFile(file, *reason);
  }
  return loaded;
}

std::optional<ProjectError> SaveProjectAndControls(const ProjectContent& project,
                                                   const ControlSet& set, const fs::path& file,
                                                   const FileStore& files) {
  std::string bytes;
  if (std::optional<ProjectError> refused = ProjectToBytes(project, bytes)) return refused;
  const std::string side_text = set.Empty() ? std::string() : ControlsToText(set);
  // The project first: should the two ever part (a save killed between the renames), the
  // new project keeps the controls of its last save rather than an old one losing its own.
  const std::array<FileWrite, 2> writes = {
      FileWrite{file, bytes},
      FileWrite{ControlsFilePath(file),
                set.Empty() ? std::nullopt : std::optional<std::string_view>(side_text)}};
  std::size_t failed = 0;
  if (std::optional<FileFailure> failure = files.ReplaceTogether(writes, failed)) {
    return SaveFileError(writes[failed].file, failure->reason);
  }
  return std::nullopt;
}

}  // namespace ombrix
