#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "logic/complex/fault.h"
#include "logic/complex/num_text.h"
#include "logic/evaluator/evaluate.h"
#include "logic/evaluator/result_text.h"
#include "tests/evaluator/eval_world.h"
#include "tests/support/cpu_time.h"

namespace ombrix {
namespace {

using testing::EvalWorld;
using testing::WithSeparator;

using testing::ExpectRows;
using testing::TermRow;
using testing::ThreadCpuSeconds;

constexpr char kSeparators[] = {',', '.'};

TEST(EvaluateTerm, ValuesAndOperators) {
  EvalWorld world;
  ExpectRows(
      {
          {"empty term", "", "[0|0]"},
          {"lone plus", "+", "[0|0]"},
          {"lone minus", "-", "[0|0]"},
          {"complex sum", "3+4*i", "[3|4]"},
          {"product of brackets", "(1+i)*(1-i)", "[2|0]"},
          {"power", "2^10", "[1024|0]"},
          {"negative power", "2^-1", "[0,5|0]"},
          {"zero to zero", "0^0", "[1|0]"},
          {"power cut to zero", "2^-50", "[0|0]"},
          {"powers group from the left", "2^3^2", "[64|0]"},
          {"remainder", "7%3", "[1|0]"},
          {"remainder takes the leading sign afterwards", "-7%3", "[-1|0]"},
          {"bitwise and", "6&3", "[2|0]"},
          {"bitwise or", "6\\3", "[7|0]"},
          {"or and product share a level", "6\\1*3", "[21|0]"},
          {"sum travels with 15 digits", "0,1+0,2-0,3", "[0|0]"},
          {"exponent in a number", "1e-3*1000", "[1|0]"},
          {"huge negative without error", "-(10^50)*(10^60)", "[-1E110|0]"},
          {"sign after an operator binds tighter than power", "2*-3^2", "[18|0]"},
          {"leading sign applies after the power", "-3^2", "[-9|0]"},
          {"runs of signs", "2*--3", "[6|0]"},
          {"empty operand after product", "2*", "[0|0]"},
          {"empty operand after sum", "2+", "[2|0]"},
          {"e plus one via leading sign", "-1+e", "[1,71828182845905|0]"},
          {"e minus one via brackets", "(e)-1", "[1,71828182845905|0]"},
          {"comparison in brackets joins the product", "(1<2)*5", "[5|0]"},
          {"comparison in brackets joins the digits around", "2*(1<2)3", "[26|0]"},
          {"exponent without digits", "2e", "[2|0]"},
          {"exponent sign without digits", "1e+", "[1|0]"},
          {"lone separator", ",", "[0|0]"},
          {"typed pair text", "[1|2]*2", "[2|4]"},
          {"signs before a typed pair", "-[1|2]", "[-1|-2]"},
          {"upper case call", "SIN(0)", "[0|0]"},
          {"blank before the bracket", "sin (0)", "[0|0]"},
          {"upper case and blanks", "SIN (0) + 2 * I", "[0|2]"},
          {"sin of pi cut by the sum", "Sin(Pi)", "[0|0]"},
      },
      world);
  EXPECT_TRUE(world.boxes.boxes.empty());
}

TEST(EvaluateTerm, Comparisons) {
  EvalWorld world;
  ExpectRows(
      {
          {"less", "1<2", "1"},
          {"greater", "1>2", "0"},
          {"equal complex", "1+i=1+i", "1"},
          {"not equal", "2#2", "0"},
          {"nearly equal", "1~1", "1"},
          {"nearly equal within the cut", "1~1+1e-15", "1"},
          {"15-digit round trip makes 0,1+0,2 equal 0,3", "0,1+0,2=0,3", "1"},
          {"split at the largest first occurrence", "1<2=1", "1"},
          {"chains split at the first of one kind", "1<2<3", "0"},
          {"less with a complex side", "i<1", "?0'i<1' ?"},
          {"greater with a complex side", "1>i", "?0'1>i' ?"},
          {"side that is an error", "1<x", "?1'1<x' ?"},
          {"error deeper in a chain is code 1", "1<2<i", "?1'1<2<i' ?"},
          {"empty right side is 0", "1>", "1"},
          {"comparison of a call's value", "sin(0)=0", "1"},
      },
      world);
}

TEST(EvaluateTerm, ErrorTexts) {
  EvalWorld world;
  ExpectRows(
      {
          {"non-integer exponent", "2^0,5", "?0'+2^0,5' ?"},
          {"zero to a negative power", "0^-1", "?0'+0^-1' ?"},
          {"exponent beyond 32 bits", "2^2147483648", "?0'+2^2147483648' ?"},
          {"power overflow", "2^2147483647", "?8'2147483647 !"},
          {"power of a unit that cycles", "i^2147483647", "[0|-1]"},
          {"power of minus one", "(-1)^-2147483647", "[-1|0]"},
          {"power of a base near 1 within the product limit", "1,0000001^1000",
           "[1,00010000499522|0]"},
          {"power of a small base ends at 0", "0,5^2147483647", "[0|0]"},
          {"power of a base a little below 1 ends at 0 in time", "0,9999^2147483647", "[0|0]"},
          {"power of a base a little above 1 overflows in time", "1,001^2147483647",
           "?8'2147483647 !"},
          {"overflow test names the last operand", "10^200+1", "?8'1 !"},
          {"overflow before the leading sign", "-10^200", "?8'200 !"},
          {"big power", "10^200", "?8'200 !"},
          {"sum overflow", "9e99+9e99", "?8'9e99 !"},
          {"remainder by zero", "7%0", "?0Rest-Operator '%'"},
          {"remainder of a complex value", "7%i", "?0'+7%i' ?"},
          {"remainder zero test comes first", "i%0", "?0Rest-Operator '%'"},
          {"division by zero", "1/0", "?0Division '/'"},
          {"division by a zero bracket", "1/(1-1)", "?0Division '/'"},
          {"bracket error passes up unchanged", "(1/0)+1", "?0Division '/'"},
          {"built-in argument error wrapped", "sin(1/0)", "?1'?0Division '/'' ?"},
          {"and of a fraction", "1,5&1", "?0'+1,5&1' ?"},
          {"or of a complex value", "i\\1", "?0'+i\\1' ?"},
          {"juxtaposition is no product", "2i", "?1'2i' ?"},
          {"unknown name", "xyz+1", "?5xyz !"},
          {"bracket after an unknown name", "x(2)", "?5x[2|0] !"},
          {"unknown name keeps the value's exponent", "x(0,00001)", "?5x[1E-5|0] !"},
          {"unequal bracket counts", "((2)", "?6'((2)' ?"},
          {"bracket count of the normalised term", "( (A)", "?6'((a)' ?"},
          {"brackets in the wrong order", ")(", "?1')[0|0]' ?"},
          {"an open group runs to the end", ")(1", "?1')[1|0]' ?"},
          {"an open group keeps its last name", ")(w_1", "?5w_1 !"},
          {"an open group keeps its last operand", ")(IMMIN()/x", "?5x !"},
          {"an open group holds a closed one", ")((1)", "?1')[1|0]' ?"},
          {"error text passed in stays", "?5x !", "?5x!"},
          {"error text passed in is lower-cased", "?A Test", "?atest"},
          {"operand neither name nor number", "2+3$", "?1'3$' ?"},
          {"umlaut is no name", "\xE4+1", "?1'\xE4' ?"},
          {"user pair text without closing bracket", "[1|2", "?1'[1|2' ?"},
      },
      world);
}

// A sign after "e" belongs to an exponent only after a number's mantissa; after a name
// it is the next operator.
TEST(EvaluateTerm, SignAfterAnEIsAnExponentOnlyAfterDigits) {
  EvalWorld world;
  world.AddVariable("summe", ComplexFromReal(2));
  world.AddVariable("seite", ComplexFromReal(5));
  world.AddVariable("gr\366\337e", ComplexFromReal(3));
  world.AddVariable("e1", ComplexFromReal(7));
  ExpectRows(
      {
          {"constant e plus one", "e+1", "[3,71828182845905|0]"},
          {"constant e minus one", "e-1", "[1,71828182845905|0]"},
          {"upper-case constant minus one", "E-1", "[1,71828182845905|0]"},
          {"product with e before a minus", "2*e-1", "[4,43656365691809|0]"},
          {"e before a minus after a power", "e^2-e", "[4,6707742704716|0]"},
          {"name ending in e plus one", "summe+1", "[3|0]"},
          {"upper-case name ending in e", "SUMME+1", "[3|0]"},
          {"name ending in e minus one", "seite-1", "[4|0]"},
          {"umlaut name ending in e", "gr\366\337e+2", "[5|0]"},
          {"name ending in e before a sign run", "summe--1", "[3|0]"},
          {"e between names", "summe-e+seite", "[4,28171817154096|0]"},
          {"name with a digit after the e", "e1+1", "[8|0]"},
          {"exponent after digits", "1e+2", "[100|0]"},
          {"upper-case exponent after digits", "1E-2*100", "[1|0]"},
          {"exponent after a decimal fraction", "2,5e-1", "[0,25|0]"},
          {"exponent after a leading separator", ",5e+1", "[5|0]"},
          {"exponent after a trailing separator", "5,e-1", "[0,5|0]"},
          {"signed number with an exponent", "-2e-1+1", "[0,8|0]"},
          {"exponent after an operator's sign", "2*-1e+1", "[-20|0]"},
          {"exponent without digits", "2e", "[2|0]"},
          {"exponent sign without digits", "1e+", "[1|0]"},
          {"lone separator before e is no mantissa", ",e-1", "[-1|0]"},
          {"name ending in e unknown", "xe-1", "?5xe !"},
          {"pair text inside an unknown name keeps its exponent", "x(0,00001)-1", "?5x[1E-5|0] !"},
      },
      world);
}

TEST(EvaluateTerm, SeparatorOfTheOtherLocaleIsRefused) {
  EvalWorld world;
  SetDecimalSeparator(',');
  EXPECT_EQ(world.Eval("1.5"), "?1'1.5' ?");
  SetDecimalSeparator('.');
  EXPECT_EQ(world.Eval("1,5"), "?1'1,5' ?");
}

TEST(EvaluateTerm, NumberLookalikesRaiseTheConversionFault) {
  EvalWorld world;
  for (char sep : kSeparators) {
    SetDecimalSeparator(sep);
    for (const char* term : {"1e2e3", "1ee2", "1e2e-3", "[|]", "2*[1|]"}) {
      SCOPED_TRACE(term);
      try {
        world.Eval(term);
        ADD_FAILURE() << "no fault";
      } catch (const Fault& fault) {
        EXPECT_NE(std::string(fault.what()).find("ist kein g\xFCltiger Gleitkommawert"),
                  std::string::npos);
      }
    }
  }
}

TEST(EvaluateTerm, FloatingPointOverflowFaults) {
  EvalWorld world;
  SetDecimalSeparator(',');
  EXPECT_THROW(world.Eval("1e300*1e300"), Fault);
  EXPECT_THROW(world.Eval("1e400"), Fault);
}

TEST(EvaluateTerm, OverviewTrace) {
  EvalWorld world;
  world.AddVariable("x", ComplexFromReal(0.5));
  world.AddFunction("f", "#^2");
  ExpectRows({{"traced line", "2*Sin(x)+f(3)", "[9,95885107720841|0]"}}, world);
}

TEST(EvaluateTerm, PowerDivisionMessageGoesThroughTheBoxes) {
  EvalWorld world;
  SetDecimalSeparator(',');
  // The square of 1E-7 is cut to 0, so the final division of the negative power divides by 0.
  // A complex division by 0 shows the message twice before the fault.
  EXPECT_THROW(world.Eval("(1e-7)^-2"), Fault);
  ASSERT_EQ(world.boxes.boxes.size(), 2u);
  EXPECT_EQ(world.boxes.boxes[0].text, "Leider Division durch Null aufgetreten!");
}

TEST(EvaluateTerm, TextAfterABracketedPairIsRefused) {
  EvalWorld world;
  ExpectRows(
      {
          {"letter after a bracket", "(2)x+1", "?1'+[2|0]x+1' ?"},
          {"digit after a call", "sin(0)2", "?1'+[0|0]2' ?"},
          {"pair after a pair", "[1|2][3|4]", "?1'+[1|2][3|4]' ?"},
          {"operator after a pair is fine", "(2)*3", "[6|0]"},
      },
      world);
}

TEST(EvaluateTerm, TooManyOperandsAreRefused) {
  EvalWorld world;
  SetDecimalSeparator(',');
  std::string term = "1";
  for (int k = 1; k < 129; ++k) term += "+1";
  const std::string result = world.Eval(term);
  EXPECT_EQ(result, "?1'+" + term + "' ?");
  // At another bracket level each list starts afresh.
  EXPECT_EQ(world.Eval("(" + term.substr(0, 255) + ")+(" + term.substr(0, 255) + ")"), "[256|0]");
}

TEST(EvaluateTerm, PowersWithAnIntegerExponentAreComputed) {
  EvalWorld world;
  SetDecimalSeparator(',');
  // One rounded and cut product per unit of the exponent, however many that takes.
  const std::vector<TermRow> rows = {
      {"ten million products of a base near 1", "(1+1/10^7)^(10^7)", "[2,71828169413201|0]"},
      {"nine million products", "1,0000001^9000000", "[2,45960300176741|0]"},
      {"a large result", "1,00001^10000000", "[2,68677342992038E43|0]"},
      {"a complex base near 1", "(1+1e-8*i)^10000000", "[0,995004165775509|0,0998334166967527]"},
      {"six powers of three million products",
       "1,000001^2900000+1,000001^2900000+1,000001^2900000+1,000001^2900000+1,000001^2900000+"
       "1,000001^2900000",
       "[109,044714075812|0]"},
  };
  for (const TermRow& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(world.Eval(row.term), row.expected);
  }
}

TEST(EvaluateTerm, PowersShareOneBudgetOfProducts) {
  EvalWorld world;
  SetDecimalSeparator(',');
  world.context.power_products = 1 << 20;
  std::string term = "0,9999^1000000";
  EXPECT_EQ(world.Eval(term), "[0|0]");
  term += "+0,9999^1000000";
  EXPECT_EQ(world.Eval(term), "?0'+" + term + "' ?");
  // Powers inside brackets and calls draw on the same budget.
  EXPECT_EQ(world.Eval("(0,9999^1000000)*re(0,9999^1000000)").substr(0, 3), "?0'");
}

TEST(EvaluateTerm, NestingLimit) {
  EvalWorld world;
  SetDecimalSeparator(',');
  const auto nested = [](int depth, const std::string& inner) {
    return std::string(static_cast<std::size_t>(depth), '(') + inner +
           std::string(static_cast<std::size_t>(depth), ')');
  };
  EXPECT_EQ(world.Eval(nested(256, "1")), "[1|0]");
  EXPECT_EQ(world.Eval(nested(257, "1")).substr(0, 3), "?1'");
  // Calls nest through their brackets.
  std::string calls = "1";
  for (int k = 0; k < 256; ++k) calls = "re(" + calls + ")";
  EXPECT_EQ(world.Eval(calls), "[1|0]");
  calls = "re(" + calls + ")";
  EXPECT_EQ(world.Eval(calls).substr(0, 3), "?1'");
}

TEST(EvaluateTerm, HostileTermsEndQuickly) {
  EvalWorld world;
  SetDecimalSeparator(',');
  struct Row {
    const char* name;
    std::string term;
    std::string prefix;
  };
  const std::size_t million = 1000000;
  std::string chain;
  for (int k = 0; k < 100000; ++k) chain += "1<";
  chain += "1";
  std::string calls;
  for (int k = 0; k < 20000; ++k) calls += "sin(1)+";
  calls += "1";
  std::string groups;
  for (int k = 0; k < 50000; ++k) groups += "((1))<";
  groups += "1";
  const std::string deep =
      std::string(200, '(') + std::string(1000000, '1') + "+1" + std::string(200, ')');
  const std::vector<Row> rows = {
      {"a huge payload deep inside brackets", deep, "?1'"},
      {"a million brackets", std::string(million, '(') + std::string(million, ')'), "?1'"},
      {"a long comparison chain", chain, "0"},
      {"many calls at one level", calls, "?1'"},
      {"many groups in a chain", groups, "0"},
      {"closing brackets first", std::string(million, ')') + std::string(million, '('), "?6'"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const double start = ThreadCpuSeconds();
    const std::string result = world.Eval(row.term);
    const double seconds = ThreadCpuSeconds() - start;
    EXPECT_EQ(result.substr(0, row.prefix.size()), row.prefix);
    // This thread's own work, not the clock on the wall: a quadratic reading of these
    // millions of characters costs hours; linear work takes well under a second, even
    // under the sanitizers.
    EXPECT_LT(seconds, 20.0);
  }
}

TEST(EvaluateTerm, SelfReferentialFunctionsEndWithAnError) {
  EvalWorld world;
  SetDecimalSeparator(',');
  struct Row {
    const char* name;
    const char* fterm;
  };
  for (const Row& row : {Row{"doubling", "f(#)+f(#)"}, Row{"direct", "f(#)"},
                         Row{"without argument", "f(1)"}, Row{"through a built-in", "sin(f(#))"},
                         Row{"through a built-in, same argument", "sin(f(1))"},
                         Row{"through two built-ins", "re(im(f(1))+1)"},
                         Row{"through a growing argument", "f(#*#)"}}) {
    SCOPED_TRACE(row.name);
    EvalWorld w;
    w.AddFunction("f", row.fterm);
    const std::string result = w.Eval("f(2)");
    ASSERT_GE(result.size(), 2u);
    EXPECT_EQ(result.substr(0, 2), "?1");
  }
}

TEST(EvaluateTerm, FunctionsThatDoNotCallThemselvesExpandWithoutACountLimit) {
  EvalWorld world;
  SetDecimalSeparator(',');
  world.AddFunction("d", "#+#");
  world.AddFunction("g", "d(d(#))");
  std::string term = "1";
  for (int k = 0; k < 14; ++k) term = "d(" + term + ")";
  EXPECT_EQ(world.Eval(term), "[16384|0]");  // 16,383 expansions
  term = "1";
  for (int k = 0; k < 3; ++k) term = "g(" + term + ")";
  EXPECT_EQ(world.Eval(term), "[64|0]");
}

TEST(EvaluateTerm, FunctionNamesEndingInsideAReplacement) {
  EvalWorld world;
  SetDecimalSeparator(',');
  // "b[0|0]" only becomes a call once sin(0) has been replaced by its value.
  world.AddFunction("b[0|0]", "7");
  EXPECT_EQ(world.Eval("bsin(0)(1)"), "[7|0]");
  EXPECT_EQ(world.Eval("2*bsin(0)(1)+bsin(0)(1)"), "[21|0]");
}

TEST(EvaluateTerm, NamesCompletedByAnExpansion) {
  EvalWorld world;
  world.AddFunction("x", "#+1");
  world.AddFunction("f", "#");
  world.AddFunction("ab", "#*10");
  ExpectRows(
      {
          {"a name just before an expansion", "xf(2)", "[3|0]"},
          {"a longer name", "abf(3)", "[30|0]"},
          {"found again further on", "2*xf(2)+xf(2)", "[9|0]"},
          {"a built-in's name", "sinf(0)", "[0|0]"},
          {"a value's text completes no name", "xsin(0)", "?5x[0|0] !"},
      },
      world);
}

TEST(EvaluateTerm, BodiesWithBracketsAndComparisons) {
  EvalWorld world;
  world.AddFunction("f", "(#<2)*3+(#)");
  world.AddFunction("g", "#<2");
  world.AddFunction("h", "((#))");
  world.AddFunction("k", "SIN(#)*PI");
  ExpectRows(
      {
          {"a comparison in a bracket of the body", "f(1)", "[4|0]"},
          {"the same comparison false", "f(5)", "[5|0]"},
          {"a body that is a comparison", "g(1)+1", "[2|0]"},
          {"a body that is a comparison, compared", "g(1)=1", "1"},
          {"brackets from nested bodies", "h(h(h(2)))", "[2|0]"},
          {"a body's comparison as a built-in's argument", "re(g(3))", "[0|0]"},
          {"an argument with a comparison of its own", "f(1<2)", "[4|0]"},
          {"a body stored in upper case", "k(0)+K(0)", "[0|0]"},
      },
      world);
}

TEST(EvaluateTerm, BlanksCaseAndWindows1252Letters) {
  EvalWorld world;
  world.AddFunction(
      "\xDC"
      "ber",
      "#*2");
  world.AddFunction("Gro\xDF", "#+1");
  world.AddVariable("X\xC4", ComplexFromReal(3));
  ExpectRows(
      {
          {"an umlaut name called in upper case",
           "\xDC"
           "BER(2)",
           "[4|0]"},
          {"and in lower case",
           "\xFC"
           "ber(2)",
           "[4|0]"},
          {"an umlaut variable in either case", "x\xE4+X\xC4", "[6|0]"},
          {"a sharp s", "GRO\xDF(1)", "[2|0]"},
          {"blanks inside names and numbers", " \xFC b E r ( 1 , 5 ) ", "[3|0]"},
          {"blanks around a comparison chain", " 1 < 2 = 1 ", "1"},
          {"constants in odd case", "PI-pI", "[0|0]"},
          {"a tab is no blank", "1\t+1", "?1'1\t' ?"},
      },
      world);
}

// Literal rows for some orders; every pair of operators, short and past the length at
// which the split is searched another way, must agree between the paths and in length.
TEST(EvaluateTerm, ComparisonChainsOfEveryOperatorPair) {
  EvalWorld world;
  ExpectRows(
      {
          {"equal then less splits at the less", "1=1<2", "1"},
          {"less then equal splits at the equal", "2<1=0", "1"},
          {"nearly then not equal", "1~1#0", "1"},
          {"not equal then nearly", "1#1~1", "0"},
          {"greater twice splits at the first", "3>2>1", "1"},
          {"greater then less", "1>2<3", "1"},
      },
      world);
  SetDecimalSeparator(',');
  const std::string ops = "<=>#~";
  std::string padding;
  for (int k = 0; k < 35; ++k) padding += "0+";
  for (char p : ops) {
    for (char q : ops) {
      for (const char* values : {"123", "321", "222", "i11"}) {
        const std::string chain = std::string(1, values[0]) + p + values[1] + q + values[2];
        SCOPED_TRACE(chain);
        const std::string shorter = world.Eval(chain);
        const std::string longer = world.Eval(padding + chain);
        if (IsErrorText(shorter)) {
          EXPECT_EQ(longer.substr(0, 2), shorter.substr(0, 2));
        } else {
          EXPECT_EQ(longer, shorter);
        }
      }
    }
  }
}

// Each guard at its bound and one past it; what it refuses is named in the error text
// as the working text stood.
TEST(EvaluateTerm, GuardsAtTheirBounds) {
  EvalWorld world;
  world.AddFunction("f", "#");
  world.AddFunction("z", "0");
  SetDecimalSeparator(',');
  const std::size_t mebi = std::size_t{1} << 20;
  // f's expansion makes its argument and two brackets; the argument is the zeros and
  // the call's own brackets.
  const auto expansion = [](std::size_t made) { return "f(" + std::string(made - 4, '0') + ")"; };
  const auto working = [](std::size_t size) { return "z(0)+" + std::string(size - 5, '0'); };
  struct Row {
    const char* name;
    std::string term;
    bool refused;
  };
  const Row rows[] = {
      {"brackets at the bound", testing::NestedBrackets(256), false},
      {"brackets one past", testing::NestedBrackets(257), true},
      {"calls at the bound", testing::NestedCalls(256), false},
      {"calls one past", testing::NestedCalls(257), true},
      {"expansion text at the bound", expansion(mebi), false},
      {"expansion text one past", expansion(mebi + 1), true},
      {"working text at the bound", working(mebi), false},
      {"working text one past", working(mebi + 1), true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string result = world.Eval(row.term);
    if (row.refused) {
      EXPECT_TRUE(result == "?1'" + row.term + "' ?") << result.substr(0, 40);
    } else {
      EXPECT_TRUE(result == "[1|0]" || result == "[0|0]") << result.substr(0, 40);
    }
  }
}

TEST(EvaluateForDisplay, DisplayTextOrMessage) {
  EvalWorld world;
  struct Row {
    const char* name;
    const char* term;
    const char* expected;
  };
  for (char sep : kSeparators) {
    SetDecimalSeparator(sep);
    for (const Row& row : {
             Row{"pair", "3+4*i", "3+4*i"},
             Row{"fraction", "1/4", "0,25"},
             Row{"comparison", "1<2", "1"},
             Row{"syntax error", "2i", "? Syntaxfehler"},
             Row{"unknown name", "x", "? Unbekannter Funktionsname"},
             Row{"brackets", "(", "? Fehlerhafte Klammerung"},
             Row{"division", "1/0", "? Unzul\xE4ssiges Argument bei Rechenoperator"},
             Row{"too large", "10^200", "? Berechnung liefert zu gro\337es Ergebnis"},
             Row{"function argument", "ln(0)", "? Unzul\xE4ssiges Argument in Funktion"},
         }) {
      SCOPED_TRACE(row.name);
      EXPECT_EQ(EvaluateForDisplay(WithSeparator(row.term), world.context),
                WithSeparator(row.expected));
    }
  }
}

TEST(BracketCountsEqual, CountsOnly) {
  EXPECT_TRUE(BracketCountsEqual(""));
  EXPECT_TRUE(BracketCountsEqual(")("));
  EXPECT_TRUE(BracketCountsEqual("(a)(b)"));
  EXPECT_FALSE(BracketCountsEqual("(()"));
  EXPECT_FALSE(BracketCountsEqual(")"));
}

}  // namespace
}  // namespace ombrix
