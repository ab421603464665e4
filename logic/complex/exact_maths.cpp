#include "logic/complex/exact_maths.h"

#include "logic/complex/exact_maths_integer.h"

namespace ombrix::exact {

double Sin(double x) { return integer::Sin(x); }
double Cos(double x) { return integer::Cos(x); }
double Tan(double x) { return integer::Tan(x); }
double ASin(double x) { return integer::ASin(x); }
double ACos(double x) { return integer::ACos(x); }
double ATan(double x) { return integer::ATan(x); }
double Exp(double x) { return integer::Exp(x); }
double Log(double x) { return integer::Log(x); }
double Log10(double x) { return integer::Log10(x); }

}  // namespace ombrix::exact
