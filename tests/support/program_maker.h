// Random programs for tests and the web edition's differential.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace ombrix::testing {

// Structured random programs over a, b and c that draw, change the scale and the colour,
// and open loops of every kind; some of them fail on the way. A generator with other terms and
// commands overrides Term() and Command().
class ProgramMaker {
 public:
  explicit ProgramMaker(std::uint32_t seed) : random_(seed) {}
  virtual ~ProgramMaker() = default;

  std::vector<std::string> Program() {
    std::vector<std::string> lines;
    Block(lines, 0);
    return lines;
  }

 protected:
  int Pick(int n) { return static_cast<int>(random_() % static_cast<std::uint32_t>(n)); }
  std::string Var() { return std::string(1, "abc"[Pick(3)]); }
  virtual std::string Term() {
    static const char* const terms[] = {"a+1", "b*2-c", "c/2", "Sin(a)",  "a-b",       "1,5",
                                        "-c",  "b+i",   "a*b", "(a+b)/3", "Betrag(c)", "2"};
    return terms[Pick(12)];
  }
  virtual std::string Command() {
    static const char* const commands[] = {
        "ZeichnePunkt(a+b*i)",   "L\xF6schePunkt(a+b*i)", "ZeichneLinie(a;b*i)",
        "L\xF6scheLinie(c;a)",   "ZeichneKreis(c;a)",     "L\xF6scheKreis(c;2)",
        "ZeichneSkala",          "L\xF6scheBild",         "SetzeSkala(-3;3;-2;2)",
        "SetzeSkala(-9;9;-9;9)", "SetzeFarbe(a+b*i)"};
    return commands[Pick(11)];
  }
  void Block(std::vector<std::string>& lines, int depth) {
    const int n = 1 + Pick(5);
    for (int i = 0; i < n; ++i) {
      switch (depth > 2 ? Pick(3) : Pick(9)) {
        case 0:
        case 1:
          lines.push_back(Var() + ":=" + Term());
          break;
        case 2:
          lines.push_back(Command());
          break;
        case 3:
          lines.push_back("Wenn(" + Var() + ">1)");
          Block(lines, depth + 1);
          if (Pick(2)) {
            lines.push_back("Andernfalls");
            Block(lines, depth + 1);
          }
          lines.push_back("EndeWenn");
          break;
        case 4:
          lines.push_back("Wiederhole(" + std::to_string(Pick(4)) + ")");
          Block(lines, depth + 1);
          lines.push_back("EndeWiederhole");
          break;
        case 5: {
          const std::string v = Var();
          lines.push_back("F\xFCr(" + v + ";0;" + std::to_string(Pick(4)) + ";1)");
          Block(lines, depth + 1);
          lines.push_back("EndeF\xFCr");
          break;
        }
        case 6:
          lines.push_back("Solange(c<3)");
          Block(lines, depth + 1);
          lines.push_back("c:=c+1");
          lines.push_back("EndeSolange");
          break;
        case 7:
          if (Pick(4) == 0) lines.push_back(Pick(2) ? "EndeWiederhole" : "Wiederhole(2)");
          break;
        default:
          lines.push_back("Wiederhole(2)");
          Block(lines, depth + 1);
          lines.push_back("EndeWiederhole");
          break;
      }
    }
  }

  std::mt19937 random_;
};

}  // namespace ombrix::testing
