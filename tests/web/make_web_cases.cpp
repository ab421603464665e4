// Writes the cases of the web edition's differential: random terms with the definitions
// they use, and random projects, each saved under both decimal separators with the
// options of its run. Usage: ombrix-web-cases DIR TERMS PROJECTS [SEED]
//   DIR/definitions.txt  "ombrix-cli eval" options, one word a line
//   DIR/terms.txt        one term a line (ASCII)
//   DIR/NNNN-comma.omp, DIR/NNNN-point.omp, DIR/NNNN.args (further "run" options)
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <string>
#include <utility>

#include "logic/complex/num_text.h"
#include "logic/project/project_file.h"
#include "tests/evaluator/term_maker.h"
#include "tests/support/program_maker.h"
#include "tests/support/tables.h"

namespace ombrix::testing {
namespace {

using Definition = std::pair<const char*, const char*>;  // name, term

// The term maker's tables (AddTables), their values as terms without a decimal separator.
constexpr Definition kFunctions[] = {{"f", "#^2+1"},     {"g", "f(#)*x-#"},
                                     {"H", "#*#-#"},     {"sq", "Wurzel(#)+X"},
                                     {"SQ", "never(#)"}, {"loop", "loop(#)+1"}};
constexpr Definition kVariables[] = {{"x", "1/2-2*i"},   {"X", "7"},      {"y", "-5/4"},
                                     {"zz", "1e-7+3*i"}, {"Zz", "2+2*i"}, {"a", "1/2"},
                                     {"b", "1-i"},       {"c", "0"}};
constexpr const char* kMaths[] = {"Sin", "Cos", "Tan", "ASin", "ACos",   "ATan",  "Exp",
                                  "Ln",  "Lg",  "Arc", "E",    "Wurzel", "Betrag"};

class CaseMaker {
 public:
  explicit CaseMaker(std::uint32_t seed) : random_(seed), terms_(seed + 1) {}

  // Terms of the evaluator's tests, and terms aimed at what may differ between platforms:
  // the maths functions, number texts with many digits, powers and remainders (powers
  // with small exponents only: a large one may take seconds).
  std::string Term() {
    switch (Pick(5)) {
      case 0:
        return std::string(kMaths[Pick(std::size(kMaths))]) + "(" + Number() + ")";
      case 1:
        return Pick(4) == 0 ? Number() + "^" + std::to_string(Pick(80) - 40)
                            : Number() + std::string(1, "+-*/%&\\<=>#~"[Pick(12)]) + Number();
      default:
        return terms_.Term();  // it writes no line breaks
    }
  }

  // A real number as digits and an exponent, readable under either separator.
  std::string Number() {
    std::string digits = std::to_string(random_() % 1000000000);
    if (Pick(2) == 0) digits += std::to_string(random_() % 100000000);
    const int exponent = Pick(4) == 0 ? Pick(640) - 320 : Pick(40) - 25;
    return (Pick(4) == 0 ? "-" : "") + digits + "e" + std::to_string(exponent);
  }

  int Pick(std::size_t n) { return static_cast<int>(random_() % n); }

 private:
  std::mt19937 random_;
  TermMaker terms_;
};

// Programs whose lines hold the case maker's terms and commands on them.
class WebProgramMaker : public ProgramMaker {
 public:
  WebProgramMaker(std::uint32_t seed, CaseMaker& cases) : ProgramMaker(seed), cases_(cases) {}

 protected:
  std::string Term() override {
    return Pick(3) == 0 ? ProgramMaker::Term() : RemoveSpaces(cases_.Term());
  }
  std::string Command() override {
    switch (Pick(7)) {
      case 0:
        return "ZeichnePunkt(" + Term() + ")";
      case 3:
        return "SetzeFarbe(" + Term() + ")";
      case 1:
        return std::string(Pick(2) == 0 ? "ZeichneLinie(" : "L\xF6scheKreis(") + Term() + ";" +
               Term() + ")";
      case 2: {
        const int low = Pick(20) - 15;
        return "SetzeSkala(" + std::to_string(low) + ";" + std::to_string(low + 1 + Pick(30)) +
               ";" + std::to_string(low) + "/" + std::to_string(1 + Pick(7)) + ";" + Term() + ")";
      }
      default:
        return ProgramMaker::Command();
    }
  }

 private:
  CaseMaker& cases_;
};

ProjectContent MakeProject(std::uint32_t seed, CaseMaker& cases) {
  ProjectContent project;
  for (const auto& [name, term] : kFunctions) AddFunction(project.functions, name, term);
  for (const auto& [name, term] : kVariables) {  // quarters: written with the separator
    const double im = cases.Pick(3) == 0 ? cases.Pick(5) - 2 : 0;
    AddVariable(project.variables, name, {static_cast<double>(cases.Pick(7)) / 4 - 0.5, im});
  }
  project.programs[MainProgram] = WebProgramMaker(seed, cases).Program();
  if (cases.Pick(2) == 0)
    project.programs[MouseHandlerProgram] = WebProgramMaker(seed + 7, cases).Program();
  return project;
}

int Run(const std::filesystem::path& dir, int term_count, int project_count, std::uint32_t seed) {
  std::filesystem::create_directories(dir);
  bool written = true;
  const auto write = [&](const std::string& name, const std::string& bytes) {
    std::ofstream out(dir / name, std::ios::binary);
    written = (out << bytes) && written;
  };
  CaseMaker cases(seed);
  std::string definitions;
  for (const auto& [name, term] : kFunctions)
    definitions += std::string("--fun\n") + name + "=" + term + "\n";
  for (const auto& [name, term] : kVariables)
    definitions += std::string("--var\n") + name + "=" + term + "\n";
  write("definitions.txt", definitions);
  std::string terms;
  for (int n = 0; n < term_count; ++n) terms += cases.Term() + "\n";
  write("terms.txt", terms);
  for (int n = 0; n < project_count; ++n) {
    const ProjectContent project = MakeProject(seed + static_cast<std::uint32_t>(n) * 101, cases);
    char name[16];
    std::snprintf(name, sizeof name, "%04d", n);
    for (const char separator : {',', '.'}) {
      SetDecimalSeparator(separator);
      std::string bytes;
      if (ProjectToBytes(project, bytes)) return 1;
      write(name + std::string(separator == ',' ? "-comma.omp" : "-point.omp"), bytes);
    }
    std::string args;
    if (cases.Pick(3) == 0) args += "--break\n" + std::to_string(1 + cases.Pick(12)) + "\n";
    for (int k = cases.Pick(3); k > 0; --k) {
      args += "--click\n" + std::to_string(cases.Pick(440) - 20) + "," +
              std::to_string(cases.Pick(440) - 20) + "\n";
    }
    write(name + std::string(".args"), args);
  }
  return written ? 0 : 1;
}

}  // namespace
}  // namespace ombrix::testing

int main(int argc, char** argv) {
  if (argc < 4) {
    std::cerr << "Aufruf: ombrix-web-cases DIR TERME PROJEKTE [SAAT]\n";
    return 2;
  }
  const auto seed = static_cast<std::uint32_t>(argc > 4 ? std::strtoul(argv[4], nullptr, 10) : 1);
  return ombrix::testing::Run(argv[1], std::atoi(argv[2]), std::atoi(argv[3]), seed);
}
