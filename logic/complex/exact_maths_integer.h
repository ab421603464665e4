// The maths functions computed in integers alone, correctly rounded: the path every fast
// evaluation falls back to, and the reference the tests hold the fast one against. Same
// special cases and failures as the functions of exact_maths.h.
#pragma once

namespace ombrix::exact::integer {

double Sin(double x);
double Cos(double x);
double Tan(double x);
double ASin(double x);
double ACos(double x);
double ATan(double x);
double Exp(double x);
double Log(double x);
double Log10(double x);

}  // namespace ombrix::exact::integer
