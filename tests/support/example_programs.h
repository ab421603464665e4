// Program texts of the examples that tests use without loading a project file.
#pragma once

#include <string>
#include <vector>

namespace ombrix::testing {

// The main program of the Julia example (variables x, y, p, z, c and n).
inline std::vector<std::string> JuliaProgram() {
  return {"SetzeSkala(-8/5;8/5;-8/5;8/5)",
          "L\xF6scheBild",
          "c:=-4/5+156/1000*i",
          "F\xFCr(y;0;399;1)",
          "F\xFCr(x;0;399;1)",
          "p:=ReMin()+x*DeltaRe()+(ImMax()-y*DeltaIm())*i",
          "z:=p",
          "n:=0",
          "Solange((Betrag(z)<2)*(n<30))",
          "z:=z^2+c",
          "n:=n+1",
          "EndeSolange",
          "Wenn((n=30)+(n%2)*(n>3))",
          "ZeichnePunkt(p)",
          "EndeWenn",
          "EndeF\xFCr",
          "EndeF\xFCr"};
}

}  // namespace ombrix::testing
