// What the project file tests share: field lists, a project with something in every part
// of the format, a comparison, and files kept in memory.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "logic/program/project_content.h"
#include "logic/project/file_store.h"
#include "logic/project/project_file.h"

namespace ombrix::testing {

using Fields = std::vector<std::string>;

inline std::string Join(const Fields& fields) {
  std::string out;
  for (const std::string& f : fields) out += f + '\xA7';
  return out;
}

// The field texts of a new project; `e` and `pi` in the separator's spelling.
inline Fields NewProjectFields(const std::string& e = "2,71828182845905",
                               const std::string& pi = "3,14159265358979") {
  Fields f = {"2", "i", "0", "1", "e", e, "0", "Pi", pi, "0", "23", "22"};
  const std::pair<const char*, const char*> builtins[] = {
      {"MausPos", "0"}, {"Betrag", "0"}, {"Wurzel", "0"},  {"Sin", "1"},     {"Cos", "1"},
      {"Tan", "1"},     {"ASin", "1"},   {"ACos", "1"},    {"ATan", "1"},    {"Exp", "1"},
      {"Ln", "1"},      {"Lg", "1"},     {"Arc", "16"},    {"E", "1"},       {"Re", "0"},
      {"Im", "0"},      {"Konj", "0"},   {"DeltaRe", "0"}, {"DeltaIm", "0"}, {"ReMin", "0"},
      {"ReMax", "0"},   {"ImMin", "0"},  {"ImMax", "0"},
  };
  for (const auto& [name, rule] : builtins) f.insert(f.end(), {name, rule, ""});
  f.insert(f.end(), {"0", "0"});
  return f;
}

// A project with something in every part of the format.
inline ProjectContent SampleProject() {
  ProjectContent p;
  VariableTable& v = p.variables;
  v.SetLastVariable(6);
  v.SetName(3, "\xC4pfel");
  v.SetStartValue(3, {1.0 / 3.0, -2.5});
  v.SetName(4, "gro\xDF");
  v.SetStartValue(4, {1e20, 2e-15});  // the tiny part comes back as 0
  v.SetName(5, "x");
  v.SetStartValue(5, {-0.0001, 123456789012345.0});
  v.SetName(6, "Z");
  v.SetStartValue(6, {0.1 + 0.2, 0.0});
  FunctionTable& f = p.functions;
  f.SetLastFunction(25);
  f.SetName(23, "f");
  f.SetTerm(23, "#^2+1");
  f.SetName(24, "Gr\xFC\xDF");
  f.SetTerm(24, "f(#)*Sin(#)");
  f.SetName(25, "leer");
  f.SetTerm(25, "");
  f.SetArgumentRule(25, -3);
  p.programs[MainProgram] = {"Wenn(\xC4pfel>0)", "", "ZeichnePunkt(x)", "EndeWenn", "\t"};
  p.programs[MouseHandlerProgram] = {"L\xF6scheBild"};
  return p;
}

inline void ExpectSameProject(const ProjectContent& a, const ProjectContent& b) {
  ASSERT_EQ(a.variables.LastVariable(), b.variables.LastVariable());
  for (int j = 0; j <= a.variables.LastVariable(); ++j) {
    SCOPED_TRACE("variable " + std::to_string(j));
    EXPECT_EQ(a.variables.Name(j), b.variables.Name(j));
    EXPECT_EQ(a.variables.StartValue(j).Re, b.variables.StartValue(j).Re);
    EXPECT_EQ(a.variables.StartValue(j).Im, b.variables.StartValue(j).Im);
  }
  ASSERT_EQ(a.functions.LastFunction(), b.functions.LastFunction());
  for (int k = 0; k <= a.functions.LastFunction(); ++k) {
    SCOPED_TRACE("function " + std::to_string(k));
    EXPECT_EQ(a.functions.Name(k), b.functions.Name(k));
    EXPECT_EQ(a.functions.ArgumentRule(k), b.functions.ArgumentRule(k));
    if (k >= kFirstUserFunction) {
      EXPECT_EQ(a.functions.Term(k), b.functions.Term(k));
    }
  }
  EXPECT_EQ(a.programs, b.programs);
}

// Files by name, in memory; a name listed in `failures` fails with that failure.
class MemoryFileStore final : public FileStore {
 public:
  std::optional<FileFailure> Read(const std::filesystem::path& file, std::uintmax_t max_size,
                                  std::string& bytes) const override {
    if (const auto failure = failures.find(file); failure != failures.end()) {
      return failure->second;
    }
    const auto found = files.find(file);
    if (found == files.end()) return FileFailure{"fehlt", false, true};
    if (found->second.size() > max_size) return FileFailure{{}, true};
    bytes = found->second;
    return std::nullopt;
  }
  std::optional<FileFailure> Replace(const std::filesystem::path& file,
                                     std::string_view bytes) const override {
    if (const auto failure = failures.find(file); failure != failures.end()) {
      return failure->second;
    }
    files[file] = std::string(bytes);
    return std::nullopt;
  }
  // All or nothing: a failure listed for any of the files changes none.
  std::optional<FileFailure> ReplaceTogether(std::span<const FileWrite> writes,
                                             std::size_t& failed) const override {
    for (std::size_t n = 0; n < writes.size(); ++n) {
      if (const auto failure = failures.find(writes[n].file); failure != failures.end()) {
        failed = n;
        return failure->second;
      }
    }
    for (const FileWrite& write : writes) {
      if (write.bytes) {
        files[write.file] = std::string(*write.bytes);
      } else {
        files.erase(write.file);
      }
    }
    return std::nullopt;
  }

  mutable std::map<std::filesystem::path, std::string> files;
  std::map<std::filesystem::path, FileFailure> failures;
};

}  // namespace ombrix::testing
