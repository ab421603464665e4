#include "logic/project/project_file.h"

#include <algorithm>
#include <utility>

#include "logic/complex/cp1252.h"
#include "logic/complex/fault.h"
#include "logic/complex/num_text.h"

namespace ombrix {

namespace fs = std::filesystem;

namespace {

bool IsControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == '\x7F'; }

// A text as a message quotes it: a control character as "?", as the window shows any byte
// that prints nothing, so that a line break in a field never breaks the quote.
std::string Shown(std::string_view text) {
  std::string out(text);
  std::replace_if(out.begin(), out.end(), IsControl, '?');
  return out;
}

bool HasControl(std::string_view text) { return std::any_of(text.begin(), text.end(), IsControl); }

std::string Quoted(std::string_view text) { return "\"" + Shown(text) + "\""; }

// Paths are UTF-8 bytes on this platform; messages are Windows-1252.
std::string PathText(const fs::path& path) { return Utf8ToCp1252(path.string()); }

ProjectError OpenError(const fs::path& file, const std::string& reason) {
  return {
      "Die Datei " + Quoted(PathText(file)) + " konnte nicht ge\366ffnet werden: " + reason + ".",
      false};
}

// ---------------------------------------------------------------------------------------
// Writing

bool HasSeparator(std::string_view text) {
  return text.find(kFieldSeparator) != std::string_view::npos;
}

ProjectError Unsavable(const std::string& what) {
  return {"Das Projekt wurde nicht gespeichert: " + what, false};
}

ProjectError RefuseSeparator(const std::string& what) {
  return Unsavable(what +
                   " enth\xE4lt das Zeichen \"\xA7\", das in Projektdateien die Felder trennt. "
                   "Bitte entfernen Sie es.");
}

void AppendField(std::string& out, std::string_view text) {
  out += text;
  out += kFieldSeparator;
}

void AppendInteger(std::string& out, long long value) {
  AppendField(out, RealToText(static_cast<double>(value)));
}

// The text of a start value part; empty when that text would not read back (an infinite
// value, or one that rounds to 15 digits above the largest double).
[[nodiscard]] std::optional<std::string> ReadableRealText(double x) {
  std::string text = RealToText(x);
  try {
    TextToReal(text);
  } catch (const Fault&) {
    return std::nullopt;
  }
  return text;
}

std::string LongLine(int slot, std::size_t n, std::size_t length) {
  return "Zeile " + std::to_string(n + 1) + " im Programm " + Quoted(ProgramNames[slot]) + " hat " +
         std::to_string(length) + " Zeichen, erlaubt sind h\366chstens " +
         std::to_string(kMaxLineLength);
}

[[nodiscard]] std::optional<ProjectError> CheckSavable(const ProjectContent& project) {
  const VariableTable& vars = project.variables;
  for (int j = 0; j <= vars.LastVariable(); ++j) {
    if (HasSeparator(vars.Name(j))) {
      return RefuseSeparator("Der Name der Variablen " + Quoted(vars.Name(j)));
    }
  }
  const FunctionTable& funs = project.functions;
  for (int k = 0; k <= funs.LastFunction(); ++k) {
    if (HasSeparator(funs.Name(k))) {
      return RefuseSeparator("Der Name der Funktion " + Quoted(funs.Name(k)));
    }
    if (k >= funs.FirstUserFunction() && HasSeparator(funs.Term(k))) {
      return RefuseSeparator("Der Term der Funktion " + Quoted(funs.Name(k)));
    }
  }
  for (int slot = 0; slot < 2; ++slot) {
    const ProgramText& program = project.programs[static_cast<std::size_t>(slot)];
    if (program.size() > kMaxProgramLines) {
      return Unsavable("Das Programm " + Quoted(ProgramNames[slot]) + " hat " +
                       std::to_string(program.size()) + " Zeilen, erlaubt sind h\366chstens " +
                       std::to_string(kMaxProgramLines) + ".");
    }
    for (std::size_t n = 0; n < program.size(); ++n) {
      if (program[n].size() > kMaxLineLength) {
        return Unsavable(LongLine(slot, n, program[n].size()) + ".");
      }
      if (HasSeparator(program[n])) {
        return RefuseSeparator("Zeile " + std::to_string(n + 1) + " im Programm " +
                               Quoted(ProgramNames[slot]));
      }
    }
  }
  return std::nullopt;
}

// ---------------------------------------------------------------------------------------
// Reading

char OtherSeparator(char separator) { return separator == ',' ? '.' : ','; }

void SwapSeparatorsIn(std::string& text) {
  for (char& c : text) {
    if (c == ',') {
      c = '.';
    } else if (c == '.') {
      c = ',';
    }
  }
}

// Why the bytes are no project; a file is named ("Die Datei "NAME""), bytes of no file are
// "Die Daten".
ProjectError NotAProject(std::string_view label, const std::string& reason) {
  const std::string subject =
      label.empty() ? std::string("Die Daten sind") : "Die Datei " + Quoted(label) + " ist";
  return {subject + " keine g\xFCltige Projektdatei: " + reason, false};
}

class FieldReader {
 public:
  // `swapped`: the real fields were written with the other decimal separator.
  FieldReader(std::string_view bytes, std::string_view label, bool swapped)
      : bytes_(bytes), label_(label), swapped_(swapped) {}

  std::optional<std::string_view> Text() {
    std::optional<std::string_view> field = ReadField(bytes_, pos_);
    if (!field) Fail("Sie endet vorzeitig");
    return field;
  }

  // Throws the conversion Fault on a field that is no integer. No number holds a control
  // character, so such a field fails at once, with them shown in the message.
  std::optional<std::int32_t> Integer() {
    std::optional<std::string_view> field = Text();
    if (!field) return std::nullopt;
    if (HasControl(*field)) ThrowInvalidInteger(Shown(*field));
    return TextToInteger(*field);
  }

  // Throws the conversion or overflow Fault on a field that is no readable real.
  std::optional<double> Real() {
    std::optional<std::string_view> field = Text();
    if (!field) return std::nullopt;
    if (HasControl(*field)) ThrowInvalidFloat(Shown(*field));
    if (!swapped_) return TextToReal(*field);
    std::string text(*field);
    SwapSeparatorsIn(text);
    double value = 0;
    switch (ReadReal(text, value)) {
      case RealRead::kNumber:
        break;
      case RealRead::kInvalid:
        ThrowInvalidFloat(std::string(*field));  // as the file has it
      case RealRead::kOverflow:
        throw Fault(kFaultOverflow);
    }
    return value;
  }

  std::size_t RemainingFields() const {
    return static_cast<std::size_t>(std::count(bytes_.begin() + static_cast<std::ptrdiff_t>(pos_),
                                               bytes_.end(), kFieldSeparator));
  }

  void Fail(const std::string& reason) { error_ = NotAProject(label_, reason + "."); }

  std::optional<ProjectError> TakeError() { return std::move(error_); }

 private:
  std::string_view bytes_;
  std::string label_;
  bool swapped_;
  std::size_t pos_ = 0;
  std::optional<ProjectError> error_;
};

// Each reader fills its part of the project field by field; false (with the reader's error
// set) when the file is short or a count lies outside what the tables hold. Conversion
// faults pass through.

bool ReadVariables(VariableTable& vars, FieldReader& in) {
  const std::optional<std::int32_t> last_variable = in.Integer();
  if (!last_variable) return false;
  if (*last_variable < -1 || *last_variable >= kTableCapacity) {
    in.Fail("Sie nennt " +
            CountText(static_cast<long long>(*last_variable) + 1, "Variable", "Variablen") +
            ", erlaubt sind 0 bis " + std::to_string(kTableCapacity));
    return false;
  }
  vars.SetLastVariable(*last_variable);
  for (int j = 0; j <= *last_variable; ++j) {
    const std::optional<std::string_view> name = in.Text();
    if (!name) return false;
    const std::optional<double> re = in.Real();
    if (!re) return false;
    const std::optional<double> im = in.Real();
    if (!im) return false;
    vars.SetName(j, std::string(*name));
    vars.SetStartValue(j, MakeComplex(*re, *im));
  }
  return true;
}

bool ReadFunctions(FunctionTable& funs, FieldReader& in) {
  const std::optional<std::int32_t> first_user = in.Integer();
  if (!first_user) return false;
  if (*first_user != kFirstUserFunction) {
    in.Fail("Die erste eigene Funktion hat die Nummer " + std::to_string(*first_user) + " statt " +
            std::to_string(kFirstUserFunction));
    return false;
  }
  const std::optional<std::int32_t> last_function = in.Integer();
  if (!last_function) return false;
  if (*last_function < kFirstUserFunction - 1 || *last_function >= kTableCapacity) {
    in.Fail("Sie nennt " +
            CountText(static_cast<long long>(*last_function) + 1, "Funktion", "Funktionen") +
            ", erlaubt sind " + std::to_string(kFirstUserFunction) + " bis " +
            std::to_string(kTableCapacity));
    return false;
  }
  funs.SetLastFunction(*last_function);
  for (int k = 0; k <= *last_function; ++k) {
    const std::optional<std::string_view> name = in.Text();
    if (!name) return false;
    const std::optional<std::int32_t> rule = in.Integer();
    if (!rule) return false;
    const std::optional<std::string_view> term = in.Text();
    if (!term) return false;
    funs.SetName(k, std::string(*name));
    // Stored as a signed byte, as the table holds it.
    funs.SetArgumentRule(k, static_cast<signed char>(*rule));
    if (k >= kFirstUserFunction) funs.SetTerm(k, std::string(*term));
  }
  return true;
}

bool ReadProgram(ProgramText& program, int slot, FieldReader& in) {
  const std::optional<std::int32_t> count = in.Integer();
  if (!count) return false;
  const std::string subject = "Das Programm " + Quoted(ProgramNames[slot]) + " soll " +
                              CountText(*count, "Zeile", "Zeilen") + " haben";
  if (*count < 0) {
    in.Fail(subject);
    return false;
  }
  // Checked before anything is reserved, so a huge count in a tiny file costs nothing.
  const std::size_t remaining = in.RemainingFields();
  if (static_cast<std::size_t>(*count) > remaining) {
    in.Fail(subject + ", es folgen aber nur noch " +
            CountText(static_cast<long long>(remaining), "Feld", "Felder"));
    return false;
  }
  if (static_cast<std::size_t>(*count) > kMaxProgramLines) {
    in.Fail(subject + ", erlaubt sind h\366chstens " + std::to_string(kMaxProgramLines));
    return false;
  }
  program.clear();
  program.reserve(static_cast<std::size_t>(*count));
  for (std::int32_t n = 0; n < *count; ++n) {
    const std::optional<std::string_view> line = in.Text();
    if (!line) return false;
    if (line->size() > kMaxLineLength) {
      in.Fail(LongLine(slot, static_cast<std::size_t>(n), line->size()));
      return false;
    }
    program.emplace_back(*line);
  }
  return true;
}

bool ReadInto(ProjectContent& project, FieldReader& in) {
  if (!ReadVariables(project.variables, in) || !ReadFunctions(project.functions, in)) {
    return false;
  }
  for (int slot = 0; slot < 2; ++slot) {
    if (!ReadProgram(project.programs[static_cast<std::size_t>(slot)], slot, in)) return false;
  }
  return true;
}

// The whole project from the bytes into `project` (a working copy), or why not: a field
// that is no number gives the one message every front end shows, naming the file.
std::optional<ProjectError> ReadProjectBytes(ProjectContent& project, std::string_view bytes,
                                             std::string_view label, bool swapped) {
  FieldReader in(bytes, label, swapped);
  try {
    if (!ReadInto(project, in)) return in.TakeError();
  } catch (const Fault& fault) {
    return NotAProject(label, FaultDisplayText(ReadableFieldFault(fault.what())));
  }
  return std::nullopt;
}

}  // namespace

// ---------------------------------------------------------------------------------------

std::optional<std::string_view> ReadField(std::string_view bytes, std::size_t& pos) {
  if (pos > bytes.size()) return std::nullopt;
  const std::size_t end = bytes.find(kFieldSeparator, pos);
  if (end == std::string_view::npos) return std::nullopt;
  const std::string_view field = bytes.substr(pos, end - pos);
  pos = end + 1;
  return field;
}

namespace {

// Up to eight hexadecimal digits from `i` to the end of the text, taken as a 32-bit value.
std::optional<std::uint32_t> HexValue(std::string_view text, std::size_t i) {
  std::uint32_t value = 0;
  int digits = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    unsigned d;
    if (c >= '0' && c <= '9') {
      d = static_cast<unsigned>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      d = static_cast<unsigned>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {
      d = static_cast<unsigned>(c - 'A' + 10);
    } else {
      return std::nullopt;
    }
    if (++digits > 8) return std::nullopt;
    value = value * 16u + d;
  }
  if (digits == 0) return std::nullopt;
  return value;
}

constexpr std::int64_t kIntegerLimit = std::int64_t{1} << 31;  // magnitude of the lowest value

// Decimal digits from `i` to the end of the text, as long as they stay within 2^31.
std::optional<std::int64_t> DecimalValue(std::string_view text, std::size_t i) {
  std::int64_t value = 0;
  int digits = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    value = value * 10 + (text[i] - '0');
    if (value > kIntegerLimit) return std::nullopt;
    ++digits;
  }
  if (digits == 0) return std::nullopt;
  return value;
}

}  // namespace

std::int32_t TextToInteger(std::string_view text) {
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n && text[i] == ' ') ++i;
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  std::size_t hex_digits = 0;  // where the hex digits start, or 0 for decimal ones
  if (i < n && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
    hex_digits = i + 1;
  } else if (i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    hex_digits = i + 2;
  }
  if (hex_digits != 0) {
    std::optional<std::uint32_t> value = HexValue(text, hex_digits);
    if (!value) ThrowInvalidInteger(std::string(text));
    // Two's complement: $FFFFFFFF is -1, and a sign negates modulo 2^32.
    if (negative) *value = 0u - *value;
    return static_cast<std::int32_t>(*value);
  }
  std::optional<std::int64_t> value = DecimalValue(text, i);
  if (!value) ThrowInvalidInteger(std::string(text));
  if (negative) *value = -*value;
  if (*value >= kIntegerLimit) ThrowInvalidInteger(std::string(text));
  return static_cast<std::int32_t>(*value);
}

std::optional<ProjectError> ProjectToBytes(const ProjectContent& project, std::string& bytes) {
  bytes.clear();
  if (std::optional<ProjectError> refused = CheckSavable(project)) return refused;

  std::string out;
  const VariableTable& vars = project.variables;
  AppendInteger(out, vars.LastVariable());
  for (int j = 0; j <= vars.LastVariable(); ++j) {
    AppendField(out, vars.Name(j));
    const TComplex value = vars.StartValue(j);
    const std::pair<double, const char*> parts[2] = {{value.Re, "Realteil"},
                                                     {value.Im, "Imagin\xE4rteil"}};
    for (const auto& [part, part_name] : parts) {
      const std::optional<std::string> text = ReadableRealText(part);
      if (!text) {
        return Unsavable("Der " + std::string(part_name) + " des Startwerts der Variablen " +
                         Quoted(vars.Name(j)) + " (" + RealToText(part) +
                         ") l\xE4sst sich nicht als Zahl speichern.");
      }
      AppendField(out, *text);
    }
  }

  const FunctionTable& funs = project.functions;
  AppendInteger(out, funs.FirstUserFunction());
  AppendInteger(out, funs.LastFunction());
  for (int k = 0; k <= funs.LastFunction(); ++k) {
    AppendField(out, funs.Name(k));
    AppendInteger(out, funs.ArgumentRule(k));
    AppendField(out, k >= funs.FirstUserFunction() ? std::string_view(funs.Term(k)) : "");
  }

  for (const ProgramText& program : project.programs) {
    AppendInteger(out, static_cast<long long>(program.size()));
    for (const std::string& line : program) AppendField(out, line);
  }
  if (out.size() > kMaxProjectFileSize) {
    return Unsavable("Die Projektdatei w\xE4re " + std::to_string(out.size()) +
                     " Bytes gro\xDF, erlaubt sind h\366chstens " +
                     std::to_string(kMaxProjectFileSize) + ".");
  }
  bytes = std::move(out);
  return std::nullopt;
}

char FileDecimalSeparator(std::string_view bytes) {
  const char ours = DecimalSeparator();
  const char other = OtherSeparator(ours);
  bool other_seen = false;
  std::size_t pos = 0;
  if (!ReadField(bytes, pos)) return ours;  // the count of variables
  // Name, real and imaginary part of i, e and Pi; the parts of e and Pi tell.
  for (int field = 0; field < 9; ++field) {
    const std::optional<std::string_view> text = ReadField(bytes, pos);
    if (!text) break;
    if (field < 3 || field % 3 == 0) continue;
    if (text->find(ours) != std::string_view::npos) return ours;
    other_seen = other_seen || text->find(other) != std::string_view::npos;
  }
  return other_seen ? other : ours;
}

void SwapDecimalSeparators(ProjectContent& project) {
  FunctionTable& funs = project.functions;
  for (int k = funs.FirstUserFunction(); k <= funs.LastFunction(); ++k) {
    std::string term = funs.Term(k);
    SwapSeparatorsIn(term);
    funs.SetTerm(k, std::move(term));
  }
  for (ProgramText& program : project.programs) {
    for (std::string& line : program) SwapSeparatorsIn(line);
  }
}

std::optional<ProjectError> LoadProjectFromBytes(ProjectContent& project, std::string_view bytes,
                                                 std::string_view file_label, bool* converted) {
  if (converted != nullptr) *converted = false;
  // A working copy: current values and the entries beyond the loaded counts stay as they
  // were, and nothing of it reaches `project` unless every field was read.
  if (FileDecimalSeparator(bytes) != DecimalSeparator()) {
    ProjectContent fresh = project;
    if (!ReadProjectBytes(fresh, bytes, file_label, true)) {
      SwapDecimalSeparators(fresh);
      project = std::move(fresh);
      if (converted != nullptr) *converted = true;
      return std::nullopt;
    }
    // It reads under neither separator: what reading under our own says.
  }
  ProjectContent fresh = project;
  if (std::optional<ProjectError> error = ReadProjectBytes(fresh, bytes, file_label, false)) {
    return error;
  }
  project = std::move(fresh);
  return std::nullopt;
}

std::optional<ProjectError> LoadProject(ProjectContent& project, const fs::path& file,
                                        const FileStore& files, bool* converted) {
  if (converted != nullptr) *converted = false;
  std::string bytes;
  if (std::optional<FileFailure> failed = files.Read(file, kMaxProjectFileSize, bytes)) {
    return OpenError(
        file, failed->too_large ? "Sie ist zu gro\xDF f\xFCr eine Projektdatei" : failed->reason);
  }
  return LoadProjectFromBytes(project, bytes, PathText(file), converted);
}

std::optional<ProjectError> SaveProject(const ProjectContent& project, const fs::path& file,
                                        const FileStore& files) {
  std::string bytes;
  if (std::optional<ProjectError> refused = ProjectToBytes(project, bytes)) return refused;
  return SaveFileBytes(bytes, file, files);
}

std::optional<ProjectError> SaveFileBytes(std::string_view bytes, const fs::path& file,
                                          const FileStore& files) {
  if (std::optional<FileFailure> failed = files.Replace(file, bytes)) {
    return SaveFileError(file, failed->reason);
  }
  return std::nullopt;
}

ProjectError SaveFileError(const fs::path& file, const std::string& reason) {
  return {"Das Projekt konnte nicht in der Datei " + Quoted(PathText(file)) +
              " gespeichert werden: " + reason + ".",
          false};
}

std::string ReadableFieldFault(const std::string& message) {
  // A field of a file is shown in a message at most this long.
  constexpr std::size_t kShownFieldLength = 40;
  const std::size_t end = message.rfind("' ist kein g\xFCltiger ");
  if (message.empty() || message.front() != '\'' || end == std::string::npos || end == 0) {
    return message;
  }
  std::string field = message.substr(1, std::min(end - 1, kShownFieldLength));
  for (char& c : field) {
    const auto byte = static_cast<unsigned char>(c);
    // Control characters, and the five bytes Windows-1252 leaves undefined.
    if (byte < 0x20 || byte == 0x7F || byte == 0x81 || byte == 0x8D || byte == 0x8F ||
        byte == 0x90 || byte == 0x9D) {
      c = '?';
    }
  }
  if (end - 1 > kShownFieldLength) field += '\x85';  // "…"
  return "'" + field + message.substr(end);
}

}  // namespace ombrix
