// Random terms over user functions and variables, some of them broken on purpose, and
// the tables they are meant for.
#pragma once

#include <cstdint>
#include <random>
#include <string>

#include "tests/evaluator/eval_world.h"

namespace ombrix::testing {

// Random terms over user functions and variables, some of them broken on purpose.
class TermMaker {
 public:
  explicit TermMaker(std::uint32_t seed) : random_(seed) {}

  std::string Term(int depth = 0) {
    std::string out = Pick(4) == 0 ? Sign() : "";
    const int operands = 1 + Pick(depth > 1 ? 2 : 4);
    for (int i = 0; i < operands; ++i) {
      if (i > 0) out += Operator();
      if (Pick(3) == 0) out += Sign();
      out += Operand(depth);
    }
    if (depth < 2 && Pick(6) == 0) out += std::string(1, "<=>#~"[Pick(5)]) + Term(depth + 1);
    if (Pick(40) == 0) out.insert(Pick(static_cast<int>(out.size()) + 1), Noise());
    return out;
  }

 private:
  int Pick(int n) { return static_cast<int>(random_() % static_cast<std::uint32_t>(n)); }
  std::string Sign() { return Pick(2) ? "-" : (Pick(2) ? "+" : "--"); }
  std::string Operator() {
    static const char* const operators[] = {"+", "-", "*", "/", "^", "%", "&", "\\", "*", "+"};
    return operators[Pick(10)];
  }
  std::string Noise() {
    static const char* const noise[] = {")", "(", "[",     "]", "|", "?",  " ",  "e",
                                        ",", ".", "1e2e3", "#", "",  "  ", "\t", "x("};
    return noise[Pick(16)];
  }
  std::string Number() {
    switch (Pick(9)) {
      case 0:
        return std::to_string(Pick(5));
      case 1:
        return std::to_string(Pick(2000) - 1000);
      case 2:
        return std::to_string(Pick(100)) + "," + std::to_string(Pick(1000));
      case 3:
        return std::to_string(Pick(10)) + "." + std::to_string(Pick(100));
      case 4:
        return std::to_string(Pick(9) + 1) + (Pick(2) ? "e" : "E") + std::to_string(Pick(40) - 20);
      case 5:
        return "0,1";
      case 6:
        return "[" + std::to_string(Pick(5)) + "|" + std::to_string(Pick(5) - 2) + "]";
      case 7:
        return "1e-15";
      default:
        return std::to_string(Pick(3)) + ",5";
    }
  }
  std::string Operand(int depth) {
    static const char* const names[] = {"x", "X", "y", "zz", "Zz", "i", "e", "pi", "PI", "q"};
    static const char* const calls[] = {"sin", "Cos", "betrag", "Wurzel", "arc",  "E",
                                        "re",  "im",  "konj",   "ln",     "exp",  "f",
                                        "g",   "H",   "sq",     "SQ",     "atan", "lg"};
    switch (depth > 2 ? Pick(2) : Pick(7)) {
      case 0:
        return Number();
      case 1:
        return names[Pick(10)];
      case 2:
      case 3:
        return std::string(calls[Pick(18)]) + "(" + Term(depth + 1) + ")";
      case 4:
        return "(" + Term(depth + 1) + ")";
      case 5:
        return Pick(2) ? "MausPos()" : (Pick(2) ? "DeltaRe()" : "ReMax(0)");
      default:
        return Number() + "^" + std::to_string(Pick(12) - 4);
    }
  }

  std::mt19937 random_;
};

inline void AddTables(EvalWorld& world) {
  world.AddFunction("f", "#^2+1");
  world.AddFunction("g", "f(#)*x-#");
  world.AddFunction("H", "#*#-#");
  world.AddFunction("sq", "Wurzel(#)+X");
  world.AddFunction("SQ", "never(#)");  // hidden behind "sq"
  world.AddFunction("loop", "loop(#)+1");
  world.AddVariable("x", {0.5, -2.0});
  world.AddVariable("X", {7.0, 0.0});  // hidden behind "x"
  world.AddVariable("y", {-1.25, 0.0});
  world.AddVariable("zz", {1E-7, 3.0});
  world.AddVariable("Zz", {2.0, 2.0});  // hidden behind "zz"
}

}  // namespace ombrix::testing
