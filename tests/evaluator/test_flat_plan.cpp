// The lowered plans against the text path: the order in which failures are met, the
// short shapes with their edge values, and what a plan answers itself.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "logic/complex/fault.h"
#include "logic/complex/interrupt.h"
#include "logic/evaluator/flat_run.h"
#include "logic/evaluator/plan.h"
#include "logic/evaluator/result_text.h"
#include "tests/evaluator/eval_world.h"
#include "tests/support/interrupts.h"

namespace ombrix {
namespace {

using testing::EvalWorld;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Variables with edge values, and functions whose bodies fail.
void AddEdgeTables(EvalWorld& world) {
  world.AddVariable("v", {2.0, 0.0});
  world.AddVariable("w", {-3.0, 0.5});
  world.AddVariable("r", {-3.0, 0.0});
  world.AddVariable("c", {-0.75, 0.125});
  world.AddVariable("nz", {-0.0, -0.0});
  world.AddVariable("big", {1E200, 0.0});
  world.AddVariable("inf", {kInf, 0.0});
  world.AddVariable("nan", {kNaN, 0.0});
  world.AddVariable("u", {1E-20, -3.0});  // a value no rule has cut
  world.AddVariable("q", {7E99, 7E99});   // its parts' sum fails the overflow test
  world.AddFunction("huge", "#*#*#*#");
  world.AddFunction("div", "1/#");
}

// The text path's result text, or its fault's message in braces; Eval also checks that the
// plans give the same text, value, fault and boxes.
std::string Outcome(EvalWorld& world, const std::string& term) {
  try {
    return world.Eval(term);
  } catch (const Fault& fault) {
    return std::string("{") + fault.what() + "}";
  }
}

struct Row {
  const char* name;
  const char* term;
  const char* expected;  // a result text, or a fault's message in braces
};

void ExpectOutcomes(const std::vector<Row>& rows, char separator = ',') {
  SetDecimalSeparator(separator);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EvalWorld world;
    AddEdgeTables(world);
    EXPECT_EQ(Outcome(world, row.term), row.expected) << row.term;
  }
}

const std::string kOverflow = std::string("{") + kFaultOverflow + "}";
const std::string kInvalid = std::string("{") + kFaultInvalidOperation + "}";

TEST(FlatPlans, TheFirstFailureInTheTextPathsOrder) {
  ExpectOutcomes({
      {"a call before a group: its error first", "(1e200*1e200)+sin(1/0)", "?1'?0Division '/'' ?"},
      {"a call before a group, written first", "sin(1/0)+(1e200*1e200)", "?1'?0Division '/'' ?"},
      {"the first of two groups faults", "(1e200*1e200)+(1/0)", kOverflow.c_str()},
      {"the first of two groups fails", "(1/0)+(1e200*1e200)", "?0Division '/'"},
      {"a fault inside a user function", "huge(1e100)+1", kOverflow.c_str()},
      {"a fault inside a built-in's user function", "sin(huge(1e100))", kOverflow.c_str()},
      {"a call's fault before a later group's error", "sin(huge(1e100))+(1/0)", kOverflow.c_str()},
      {"an error text before a fault", "(2^0,5)+(1e200*1e200)", "?0'+2^0,5' ?"},
      {"an error in a built-in's argument before a fault", "sin(div(0))*(1e200*1e200)",
       "?1'?0Division '/'' ?"},
      {"a comparison's left side faults", "1e200*1e200<1/0", kOverflow.c_str()},
      {"a comparison's right side runs after a failed left", "1/0<1e200*1e200", kOverflow.c_str()},
      {"the passes: power before product", "big^2*(1/0)", "?0Division '/'"},
      {"the product pass faults after the power", "1,0000001^100000*1e200*1e200",
       kOverflow.c_str()},
      {"the division box, then the fault", "1E-7^-2", kInvalid.c_str()},
      {"a lone pair whose overflow test faults", "[1e308|1e308]", kOverflow.c_str()},
      {"a comparison side whose overflow test faults", "1<[1e308|1e308]", kOverflow.c_str()},
      {"Betrag's square overflows", "betrag([-1e200|-1e200])", kOverflow.c_str()},
      {"a number text beyond the range", "1+1e400", kOverflow.c_str()},
      {"a lone pair text beyond the range", "[1e400|0]", kOverflow.c_str()},
  });
}

TEST(FlatPlans, ShortShapesAtTheirEdges) {
  ExpectOutcomes({
      {"a lone variable", "v", "[2|0]"},
      {"a lone negated variable", "--w", "[-3|0,5]"},
      {"a lone -0", "nz", "[0|0]"},
      {"-0 negated", "-nz", "[0|0]"},
      {"-0 times -1", "0*-1", "[0|0]"},
      {"a lone infinity fails the overflow test", "inf", "?8'inf !"},
      {"a negated infinity passes it", "-inf", "[-INF|0]"},
      {"NaN is cut to 0", "nan+1", "[1|0]"},
      {"a sum of two", "v+w", "[-1|0,5]"},
      {"a difference to 0", "v-v", "[0|0]"},
      {"a sum at the overflow limit", "5e99+5e99", "[1E100|0]"},
      {"a sum past the overflow limit", "1e100+1e100", "?8'1e100 !"},
      {"a sum past the limit by its imaginary part", "[1e100|1e100]-0", "?8'0 !"},
      {"a square plus a constant", "c^2+c", "[-0,203125|-0,0625]"},
      {"a power by 0", "w^0", "[1|0]"},
      {"a power by 1", "w^1", "[-3|0,5]"},
      {"a power by -1", "v^-1", "[0,5|0]"},
      {"0 by -1", "0^-1", "?0'+0^-1' ?"},
      {"0 by 0", "0^0+1", "[2|0]"},
      {"a power by a fraction", "v^0,5", "?0'+v^0,5' ?"},
      {"a power past the limit", "v^2147483647", "?8'2147483647 !"},
      {"an exponent beyond 32 bits", "v^2147483648", "?0'+v^2147483648' ?"},
      {"a power of an infinity", "inf^2", "?8'2 !"},
      {"a product plus one", "v*w+1", "[-5|1]"},
      {"a division by 0", "v/0", "?0Division '/'"},
      {"a remainder by 0", "7%0-1", "?0Rest-Operator '%'"},
      {"a remainder of a non-real", "w%2", "?0'+w%2' ?"},
      {"an and", "6&3", "[2|0]"},
      {"an and of a fraction", "1,5&1", "?0'+1,5&1' ?"},
      {"a comparison of two variables", "v<r", "0"},
      {"a variable against a number", "r<-2,5", "1"},
      {"a non-real variable against a number", "w>1", "?0'w>1' ?"},
      {"an infinity against a number", "inf>1", "?1'inf>1' ?"},
      {"a negated side", "-r>v", "1"},
      {"a comparison of non-reals", "w<v", "?0'w<v' ?"},
      {"equality of non-reals", "w=w", "1"},
      {"a comparison with an infinity", "inf>v", "?1'inf>v' ?"},
      {"a comparison with NaN (cut to 0)", "nan=nan", "1"},
      {"nearly equal", "v~2,000000000000001", "1"},
      {"a comparison's value in a product", "(v<3)*(w#w)", "[0|0]"},
      {"a product of two comparisons, then a sum", "(v<3)*(v>1)-2", "[-1|0]"},
      {"a product of a comparison and a negated one", "(v<3)*-(v>1)", "[-1|0]"},
      {"a value past the limit times a comparison", "q*(v<3)", "?8'1 !"},
      {"a built-in of a lone variable", "betrag(w)", "[3,04138126514911|0]"},
      {"a built-in's argument rule", "sin(w)", "?7'[-3|0,5]' ?"},
      {"a built-in's maths error", "ln(0)", "?7'[0|0]' ?"},
      {"a built-in of a built-in", "betrag(wurzel(w))", "[1,7439556373799|0]"},
      {"a lone uncut variable", "u", "[0|-3]"},
      {"an uncut variable negated first", "-u+1", "[1|3]"},
      {"a built-in of an uncut variable", "re(u)", "[0|0]"},
      {"Betrag of an uncut variable", "betrag(u)", "[3|0]"},
      {"Betrag of an infinity", "betrag(inf)", "?1'?8'inf !' ?"},
      {"Betrag of NaN", "betrag(nan)", "[0|0]"},
      {"a built-in of a value past the limit", "betrag(q)", "?1'?8'q !' ?"},
      {"a built-in's value past the limit", "exp(231)", "?8'[2,09906225675306e100|0] !"},
      {"a group of an uncut variable", "(u)", "[0|-3]"},
      {"three comparisons in a product", "(v<3)*(v>1)*(w=w)", "[1|0]"},
      {"a product of comparisons times a number", "(v<3)*(v>1)*-2", "[-2|0]"},
      {"a negated product of comparisons", "-(v<3)*(nan=nan)", "[-1|0]"},
      {"a square of a negated variable", "2*-w^2", "[17,5|-6]"},
      {"a square of an uncut variable", "u^2+0", "[-9|0]"},
      {"a square of -0", "nz^2", "[0|0]"},
      {"a square beyond the doubles", "big^2", kOverflow.c_str()},
      {"a square past the limit", "[1e60|0]^2", "?8'2 !"},
      {"a variable plus a number past the limit", "v+2e100", "?8'2e100 !"},
      {"an uncut variable minus a number", "u-1", "[-1|-3]"},
      {"an infinity plus a number", "inf+1", "?8'1 !"},
      {"a square minus a variable", "w^2-c", "[9,5|-3,125]"},
      {"a negated square plus an uncut variable", "-w^2+u", "[-8,75|0]"},
      {"a square plus a variable past the limit", "w^2+q", "?8'q !"},
      {"a square beyond the doubles plus a variable", "big^2+c", kOverflow.c_str()},
      {"a lone scale built-in", "remin()", "[-5|0]"},
      {"a scale built-in negated", "-deltare()", "[-0,025|0]"},
      {"a scale built-in plus a variable", "remin()+v", "[-3|0]"},
      {"a variable plus one", "v+1", "[3|0]"},
      {"an uncut variable plus one", "u+1", "[1|-3]"},
      {"a variable past the limit plus one", "q+1", "?8'1 !"},
      {"a count against its bound", "v<2", "0"},
      {"Betrag of a variable against a number", "betrag(w)<4", "1"},
      {"Betrag of an uncut variable at the number", "betrag(u)<3", "0"},
      {"Betrag of a variable past the limit against a number", "betrag(q)<2", "?1'?8'q !' ?"},
      {"Betrag of an infinity against a number", "betrag(inf)<2", "?1'?8'inf !' ?"},
      {"a drawing loop's condition", "(betrag(c)<2)*(v<30)", "[1|0]"},
      {"a drawing loop's condition, false", "(betrag(c)<2)*(v<1)", "[0|0]"},
      {"a product of three comparisons", "(v<3)*(v>1)*(r<0)", "[1|0]"},
      {"Betrag of a variable above a number", "betrag(w)>3", "1"},
      {"'>' of a complex side", "w>2", "?0'w>2' ?"},
      {"'=' of -0 and 0", "nz=0", "1"},
      {"'#' of equal sides", "v#2", "0"},
      {"'~' of equal sides", "v~2", "1"},
      {"a comparison first in a sum past the limit", "(v<3)+q", "?8'q !"},
      {"a comparison first in a sum that goes on", "(v<3)+c/3", "[0,75|0,0416666666666667]"},
  });
}

// The one operator of a short term between, before and after its sums, with the faults
// and failures of each of its places.
TEST(FlatPlans, OneOperatorInsideItsSum) {
  ExpectOutcomes({
      {"a sum before a square", "1+c^2", "[1,546875|-0,1875]"},
      {"a square, then a difference", "c^2-v", "[-1,453125|-0,1875]"},
      {"a product between two sums", "1+v*w-1", "[-6|1]"},
      {"a square of -0", "nz^2-nz", "[0|0]"},
      {"a square cut to 0", "0,0000001^2+1", "[1|0]"},
      {"a square whose product faults", "big^2+1", kOverflow.c_str()},
      {"a square at the overflow mark", "1e60^2+1", "?8'1 !"},
      {"a square below the limit by its imaginary part", "[7e49|7e49]^2-1", "[-1|9,8E99]"},
      {"a square past the limit by its imaginary part", "[7,1e49|7,1e49]^2-1", "?8'1 !"},
      {"the sum after a square fails", "1e50^2+1e100", "?8'1e100 !"},
      {"the box of a negative power inside a sum", "1+1E-7^-2", kInvalid.c_str()},
      {"an uncut number's power by 1, alone", "[1e-20|2]^1", "[0|2]"},
      {"an uncut number's power by 1, then a sum", "1e-20^1+1e-20", "[0|0]"},
      {"a variable's power by 1 (the fetch cuts it)", "u^1", "[0|-3]"},
      {"an uncut value's power by 0", "u^0", "[1|0]"},
      {"an uncut value's square", "u^2", "[-9|0]"},
      {"an uncut value's power by -1", "u^-1", "[0|0,333333333333333]"},
      {"an uncut value's power by a variable", "u^v", "[-9|0]"},
      {"a power of -0 by 1, then its difference", "nz^1-1", "[-1|0]"},
      {"a power of -0 by 2", "nz^2", "[0|0]"},
      {"a power cut to 0, alone", "0,0000001^2", "[0|0]"},
      {"a square below the overflow limit, alone", "9,9e49^2", "[9,801E99|0]"},
      {"a square just past the limit, alone", "1e50^2", "?8'2 !"},
      {"a square of an infinity, alone", "inf^2", "?8'2 !"},
      {"a square of NaN, alone", "nan^2", "[0|0]"},
      {"a cube cycling back to its base", "(-1)^3", "[-1|0]"},
      {"a product past the limit, alone", "1e60*1e60", "?8'1e60 !"},
      {"a remainder below the cut, alone", "3e-14%2e-14", "[0|0]"},
      {"a power of a variable then its change", "c^2+c^3-c", "[0,91015625|-0,103515625]"},
      {"a division inside a sum", "1-v/0+1", "?0Division '/'"},
  });
  ExpectOutcomes({{"a square plus a constant", "c^2+c", "[-0.203125|-0.0625]"},
                  {"a sum before a square", "1+c^2", "[1.546875|-0.1875]"},
                  {"a power by a fraction", "v^0.5+1", "?0'+v^0.5+1' ?"}},
                 '.');
}

// Chains of the power and product passes, merged from the left as the operand list merges
// its entries, and the failures met in that order.
TEST(FlatPlans, ChainsOfThePasses) {
  ExpectOutcomes({
      {"powers from the left", "2^3^2", "[64|0]"},
      {"a product of three", "v*w*2+1", "[-11|2]"},
      {"products before the sum", "1+v*2-w*v+3", "[14|-1]"},
      {"a power inside a product", "2*v^3*w", "[-48|8]"},
      {"a variable's powers from the left", "w^2^3", "[433,671875|-662,0625]"},
      {"a variable's power after its sign", "1-w^2", "[-7,75|3]"},
      {"a variable to a variable's power", "v^v*w", "[-12|2]"},
      {"division, remainder and product", "9/v*2%5", "[4|0]"},
      {"the first failing product counts", "v%0*w/0", "?0Rest-Operator '%'"},
      {"a power that fails after a product", "v*2^0,5", "?0'+v*2^0,5' ?"},
      {"and and or", "6&3+6\\1", "[9|0]"},
      {"a chain of nine", "1+2+3+4+5+6+7+8+9", "[45|0]"},
      {"a long chain whose sum overflows", "1e100+1e100-1e100+1", "?8'1 !"},
  });
}

// Empty brackets count as 0, and a lone constant's sum is worked out when the plan is
// built: the values and failures stay the text path's.
TEST(FlatPlans, ConstantsWorkedOutWhenBuilt) {
  ExpectOutcomes({
      {"a built-in without an argument", "remin()+deltare()*2", "[-4,95|0]"},
      {"empty brackets", "()+1", "[1|0]"},
      {"empty brackets negated", "-()", "[0|0]"},
      {"nested empty brackets", "(())*v", "[0|0]"},
      {"a built-in of empty brackets", "cos(())", "[1|0]"},
      {"a lone number in brackets", "(2)^(3)", "[8|0]"},
      {"a negated number in brackets", "-(-1e-15)+1", "[1|0]"},
      {"a bracketed number past the limit", "(1e101)+1", "?8'1e101 !"},
      {"a bracketed number whose test faults", "([1e308|1e308])", kOverflow.c_str()},
  });
}

// The value of `term` as a line's value in a caller's longer run of operations: the text
// path's result read back, bit for bit, where the run gives one.
void ExpectSameValueInARun(EvalWorld& world, const std::string& term) {
  struct Run : flat::TermsOnly {
    TComplex value;
    bool End(const FlatOp& op, const TComplex* r) {
      value = r[op.a];
      return true;
    }
  } run;
  FlatPlan plan;
  FlatOp end;
  end.a = world.plans.AppendTerm(term, world.plan_context, plan);
  end.flags = FlatOp::kReadsBack;
  plan.ops.push_back(end);
  bool ran = false;
  try {
    ran = end.a >= 0 && RunFlatOps(plan.ops.data(), plan.registers.data(), world.plan_context,
                                   world.plans.Work(), run);
  } catch (const Fault& fault) {
    EXPECT_EQ(Outcome(world, term), std::string("{") + fault.what() + "}");
    return;
  }
  if (!ran) return;  // the text path's to say
  const TComplex read = ParseNumberText(EvaluateTermText(term, world.context));
  EXPECT_TRUE(EvalWorld::SameBits(run.value.Re, read.Re) &&
              EvalWorld::SameBits(run.value.Im, read.Im));
}

// A variable whose value came read back from a result (as every assignment stores it) is
// read without its text; the values near the cut and the range's ends give what the text
// path gives. A value set otherwise (y: 0.1 + 0.2, whose text reads back as 0.3) is still
// read.
TEST(FlatPlans, VariablesReadBackFromResults) {
  const TComplex values[] = {{1.00000000000000005e-14, 0.0},
                             {-1e-14, 2.0},
                             {0.1, -0.3},
                             {-0.0, 1e-15},
                             {123456789.123456789, 0.0},
                             {9.999999999999999e14, 1.0},
                             {1e300, -1e-300},
                             {1.0 / 3.0, 2.0 / 3.0},
                             {1e-13, -1.5e-14},
                             {-7.0, 0.0}};
  const char* const terms[] = {"z",         "-z",          "--z",   "(z)",
                               "betrag(z)", "re(z)+im(z)", "(z)*2", "z+0",
                               "re(z)<1",   "(z<1)*(z>0)", "g(z)",  "betrag(z)<1e-13",
                               "z*z",       "-(z)",        "y",     "betrag(y)",
                               "(y)+z",     "y<0,3",       "z^2+y", "(z<1)*(y<1)*(z>0)"};
  for (char separator : {',', '.'}) {
    SetDecimalSeparator(separator);
    for (const TComplex value : values) {
      EvalWorld world;
      world.AddFunction("g", "#-1");
      world.AddVariable("y", {0.1 + 0.2, 0.0});
      const int z = world.AddVariable("z", {});
      // An assignment stores its result's text read back.
      world.variables.SetReadValue(z, ParseNumberText(PairText(value, separator)));
      for (const char* term : terms) {
        SCOPED_TRACE(std::string(term) + " of " + PairText(value, separator));
        Outcome(world, testing::WithSeparator(term));
        ExpectSameValueInARun(world, testing::WithSeparator(term));
      }
      EXPECT_GT(world.plans.Stats().fast, 0u);
    }
  }
}

// A line's value read with its cut: the read is ReadFresh's, the cut MakeComplex of it,
// whichever test comes first.
TEST(FlatPlans, AFreshReadWithItsCut) {
  struct CutRow {
    const char* name;
    double part;
  };
  const CutRow rows[] = {
      {"0", 0.0},
      {"-0", -0.0},
      {"2^53", 9007199254740992.0},
      {"the whole text bound", 1E15},
      {"above the bound", 1234567890123456.7},
      {"the quick read's smallest", 1E-8},
      {"below the quick read", 9.87654321E-9},
      {"just above the cut", 1.000000000000004E-14},
      {"at the cut", ZeroCutThreshold},
      {"below the cut", 3E-15},
      {"a whole number", 123456.0},
      {"the whole text bound less 1", kWholeTextBound - 1},
  };
  for (const CutRow& row : rows) {
    SCOPED_TRACE(row.name);
    for (const TComplex v : {TComplex{row.part, 0.5}, TComplex{-1.5, row.part}}) {
      TComplex fresh;
      ASSERT_TRUE(flat::ReadFresh(v, fresh));
      using Read = bool (*)(TComplex, TComplex&, TComplex&);
      for (const Read read_cut :
           {Read{flat::ReadFreshCut<false>}, Read{flat::ReadFreshCut<true>}}) {
        TComplex read, cut;
        ASSERT_TRUE(read_cut(v, read, cut));
        const TComplex made = MakeComplex(read.Re, read.Im);
        EXPECT_TRUE(EvalWorld::SameBits(read.Re, fresh.Re) &&
                    EvalWorld::SameBits(read.Im, fresh.Im));
        EXPECT_TRUE(EvalWorld::SameBits(cut.Re, made.Re) && EvalWorld::SameBits(cut.Im, made.Im));
      }
    }
  }
}

// A count's whole step where zeros meet: the sum's read and its cut are +0, as the cut of
// the plain sum makes them.
TEST(FlatPlans, ACountsWholeStepFromMinusZero) {
  FlatOp op{};
  op.op = '+';
  const TComplex r[1] = {{-0.0, -0.0}};
  TComplex read, cut;
  ASSERT_TRUE(flat::PlusNextReadOf(op, {-0.0, -0.0}, r, flat::WholeStepOf(op, r), read, cut));
  EXPECT_FALSE(std::signbit(read.Re) || std::signbit(read.Im) || std::signbit(cut.Re));
}

// A built-in's value compared with a number, near the number and far from it: only the
// value read back from its text decides.
TEST(FlatPlans, ABuiltinsValueAgainstANumber) {
  ExpectOutcomes({
      {"far below", "betrag(c)<2", "1"},
      {"from 0", "betrag(0)<2", "1"},
      {"below, reads back as the number", "betrag([0,05|1,99937490231322])<2", "0"},
      {"above, reads back as the number", "betrag([0,01|1,99997499984375])>2", "0"},
      {"a unit of the 15th digit below", "re([1,99999999999999|0])<2", "1"},
      {"at the margin", "re([1,99999999999998|0])<2", "1"},
      {"a negative side", "re([-3|0])>-2", "0"},
      {"a non-real side", "wurzel(r)<2", "?0'[0|1,73205080756888]<2' ?"},
      {"a side too small to read without its text", "re([1e-305|0])<1", "1"},
      {"a large side", "re([1e99|0])>2", "1"},
      {"a number that is not its own text", "re([0,5|0])<0,50000000000000001", "0"},
  });
}

// The numbers the rules share, at the edges they decide, written from the named numbers
// themselves: a part at the zero cut, a side the plans may compare before its read and
// one just outside that band, whole numbers at the bound of their own texts.
TEST(FlatPlans, TheSharedNumbersAtTheEdgesTheyDecide) {
  const auto text = [](double x) { return RealToText(x); };
  const std::string cut = text(ZeroCutThreshold);
  const std::string above_cut = text(ZeroCutThreshold * 1.5);
  const std::string whole = text(kWholeTextBound - 1);
  const std::vector<std::pair<std::string, std::string>> rows = {
      {"[" + cut + "|0]+0", "[0|0]"},
      {"[" + above_cut + "|0]+0", "[" + above_cut + "|0]"},
      {"[" + above_cut + "|" + cut + "]*1", "[" + above_cut + "|0]"},
      {"[" + above_cut + "|0]~0", "0"},
      {"[" + cut + "|0]~0", "1"},
      {"exp(-28)>2e-13", "1"},
      {"exp(-28)<2e-13", "0"},
      {"exp(-30)>5e-14", "1"},
      {"exp(-31)<5e-14", "1"},
      {"exp(227)>1e98", "1"},
      {"exp(229)>1e99", "1"},
      {"exp(229)<1e100", "1"},
      {whole + "+0", "[" + whole + "|0]"},
      {whole + "+1", "[" + text(kWholeTextBound) + "|0]"},
      {whole + "+2=" + whole + "+1", "1"},
      {"re(" + whole + "+2)>" + whole, "1"},
  };
  for (const char separator : {',', '.'}) {
    SetDecimalSeparator(separator);
    for (const auto& [term, expected] : rows) {
      SCOPED_TRACE(term);
      EvalWorld world;
      EXPECT_EQ(world.Eval(testing::WithSeparator(term)), testing::WithSeparator(expected));
    }
  }
}

// What the plans answer themselves: a value, or a fault met in the text path's order,
// which comes from the plan itself, with the boxes the text path shows before it.
TEST(FlatPlans, AnsweredByThePlan) {
  struct PlanRow {
    const char* name;
    const char* term;
    PlanResult::Outcome outcome;  // Fallback here: a fault
    std::size_t boxes;
  };
  using Outcome = PlanResult::Outcome;
  const PlanRow rows[] = {
      {"a square plus a constant", "c^2+c", Outcome::Value, 0},
      {"a sum of two", "v+w", Outcome::Value, 0},
      {"the loop's condition", "(Betrag(c)<2)*(v<1000)", Outcome::Value, 0},
      {"a comparison", "betrag(c)<2", Outcome::Comparison, 0},
      {"a comparison near its number", "betrag([0,05|1,99937490231322])<2", Outcome::Comparison, 0},
      {"a built-in of a built-in", "betrag(wurzel(w))", Outcome::Value, 0},
      {"a fault inside a user function", "huge(1e100)+1", Outcome::Fallback, 0},
      {"a fault after a long power", "1,0000001^100000*1e200*1e200", Outcome::Fallback, 0},
      {"the division box, then the fault", "1E-7^-2", Outcome::Fallback, 2},
  };
  SetDecimalSeparator(',');
  for (const PlanRow& row : rows) {
    SCOPED_TRACE(row.name);
    EvalWorld world;
    AddEdgeTables(world);
    const PlanCache::Counts before = world.plans.Stats();
    if (row.outcome == Outcome::Fallback) {
      EXPECT_THROW(world.plans.TryEvaluate(row.term, world.plan_context), Fault);
      EXPECT_EQ(world.plans.Stats().fast, before.fast);
    } else {
      EXPECT_EQ(world.plans.TryEvaluate(row.term, world.plan_context).outcome, row.outcome);
      EXPECT_EQ(world.plans.Stats().fast, before.fast + 1);
    }
    EXPECT_EQ(world.plan_boxes.boxes.size(), row.boxes);
  }
}

// An interrupt inside a huge power stops the plan as it stops the text path, at the same
// asking.
TEST(FlatPlans, AnInterruptInsideAHugePower) {
  const char* const terms[] = {"1,0000001^2147483647", "v+1,0000001^2147483647/0",
                               "(1,0000001^2147483647<1)+1"};
  SetDecimalSeparator(',');
  for (const char* term : terms) {
    SCOPED_TRACE(term);
    EvalWorld world;
    AddEdgeTables(world);
    testing::CountingInterrupt text_stop(3), plan_stop(3);
    world.context.interrupt = &text_stop;
    world.plan_context.interrupt = &plan_stop;
    EXPECT_THROW(EvaluateTermText(term, world.context), Interrupted);
    EXPECT_THROW(EvaluateTerm(term, world.plan_context), Interrupted);
    EXPECT_EQ(plan_stop.polls, text_stop.polls);
  }
}

}  // namespace
}  // namespace ombrix
