// The function table (23 built-ins, up to 105 user functions) and the variable table
// (the constants i, e, Pi and up to 125 user variables). Indices are 0-based as in
// the project file; names keep their case, lookups ignore it.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "logic/complex/complex.h"

namespace ombrix {

inline constexpr int kTableCapacity = 128;
inline constexpr int kFirstUserFunction = 23;
inline constexpr int kUserFunctionCapacity = kTableCapacity - kFirstUserFunction;  // 105

// Argument rules of the built-ins: low four bits 0 none, 1 real, 2 integer; bit 16 nonzero.
inline constexpr int kRuleNone = 0;
inline constexpr int kRuleReal = 1;
inline constexpr int kRuleInteger = 2;
inline constexpr int kRuleNonZero = 16;

// A count of the changes to one table, for the plans built from it. It only grows: a
// table assigned from another gets a count above both, so no earlier state comes back.
class ChangeCount {
 public:
  ChangeCount() = default;
  ChangeCount(const ChangeCount& other) = default;
  ChangeCount& operator=(const ChangeCount& other) {
    value_ = std::max(value_, other.value_) + 1;
    return *this;
  }
  void Bump() { ++value_; }
  std::uint64_t Value() const { return value_; }

 private:
  std::uint64_t value_ = 0;
};

class FunctionTable {
 public:
  FunctionTable();  // the 23 built-ins, no user function

  // "Neues Projekt": built-in names and rules restored, no user function.
  void Reset();

  int FirstUserFunction() const { return kFirstUserFunction; }
  int LastFunction() const { return last_; }
  // Precondition (callers check): kFirstUserFunction - 1 <= last < kTableCapacity.
  void SetLastFunction(int last);

  const std::string& Name(int k) const { return names_[k]; }
  // Lower-cased name followed by "(", kept ready for the call search.
  const std::string& CallPattern(int k) const { return patterns_[k]; }
  void SetName(int k, std::string name);
  // The term of a user function (k >= 23); built-ins have the empty term.
  const std::string& Term(int k) const;
  void SetTerm(int k, std::string term);
  int ArgumentRule(int k) const { return rules_[k]; }
  void SetArgumentRule(int k, int rule);

  // Index of the first function (lowest index) whose name followed by "(" stands at
  // 0-based position p of the text, case ignored; -1 if none.
  int FindFunctionCallAt(std::string_view text, std::size_t p) const;
  // Length of the longest call pattern in use (name plus "("): a call can only start
  // this close before a "(".
  std::size_t MaxPatternLength() const { return max_pattern_; }
  // Grows with every change of names, terms, rules or the last index.
  std::uint64_t Version() const { return changes_.Value(); }
  // Whether the user function k can call itself again, directly or through other user
  // functions: some chain of call patterns leads from its term back to its own name.
  // Reading a term with blanks removed, case ignored and every "#" taken as the "(" that
  // starts an argument finds every call an expansion can make of its own accord.
  bool ReachesItself(int k) const;

 private:
  void RebuildIndex();
  void FindSelfReaching() const;

  std::array<std::string, kTableCapacity> names_;
  std::array<std::string, kTableCapacity> patterns_;
  std::array<std::string, kUserFunctionCapacity> terms_;
  std::array<signed char, kTableCapacity> rules_{};
  int last_ = kFirstUserFunction - 1;
  // Entries 0 .. last_ grouped by the first character of their pattern, each group in
  // index order: the call search only looks at the group of the character it stands on.
  std::array<unsigned char, kTableCapacity> by_first_{};
  std::array<unsigned short, 257> group_start_{};
  std::size_t max_pattern_ = 1;
  ChangeCount changes_;
  // Worked out on first use after a change: tables are loaded one entry at a time.
  mutable bool reach_known_ = false;
  mutable std::array<bool, kTableCapacity> reaches_itself_{};
};

class VariableTable {
 public:
  VariableTable();  // i, e, Pi in both value arrays

  // "Neues Projekt": names and start values of i, e, Pi, LastVariable 2; current values stay.
  void Reset();

  int LastVariable() const { return last_; }
  // Precondition (callers check): -1 <= last < kTableCapacity.
  void SetLastVariable(int last);

  const std::string& Name(int j) const { return names_[j]; }
  void SetName(int j, std::string name);
  TComplex StartValue(int j) const { return start_[j]; }
  void SetStartValue(int j, TComplex v) { start_[j] = v; }
  TComplex CurrentValue(int j) const { return current_[j]; }
  // MakeComplex of the current value, made where the value is set: a variable is read
  // more often than it is set, and most reads take it cut.
  TComplex CutValue(int j) const { return cut_[j]; }
  void SetCurrentValue(int j, TComplex v) {
    current_[j] = v;
    cut_[j] = MakeComplex(v.Re, v.Im);
    reads_back_[j] = false;
  }
  // A value read back from a result text (ParseNumberText of a result): its own text reads
  // back as itself, so a plan need not read it again.
  void SetReadValue(int j, TComplex v) { SetReadValue(j, v, MakeComplex(v.Re, v.Im)); }
  // The same, with MakeComplex of the value worked out by the caller.
  void SetReadValue(int j, TComplex v, TComplex cut) {
    current_[j] = v;
    cut_[j] = cut;
    reads_back_[j] = true;
  }
  bool ReadsBackAsItself(int j) const { return reads_back_[j]; }
  // Program start: current := start for 0 .. LastVariable.
  void CopyStartToCurrent();

  // First j <= LastVariable whose lower-cased name equals `name` (passed lower-cased).
  int FindVariable(std::string_view name) const;
  // Grows with every change of the names or the last index (not of the values).
  std::uint64_t NamesVersion() const { return changes_.Value(); }

 private:
  std::array<std::string, kTableCapacity> names_;
  std::array<std::string, kTableCapacity> lowered_;
  std::array<TComplex, kTableCapacity> start_{};
  std::array<TComplex, kTableCapacity> current_{};
  std::array<TComplex, kTableCapacity> cut_{};
  std::array<bool, kTableCapacity> reads_back_{};
  int last_ = 2;
  ChangeCount changes_;
};

// The name rule of both table dialogs for a new function or variable: a letter a..z
// first (either case), then letters a..z, digits and "_"; empty, umlauts, blanks and
// all other signs fail.
bool IsValidNewName(std::string_view name);

// Every "#" of the term replaced by the argument text (brackets included).
std::string SubstituteArgument(std::string_view term, std::string_view argument);

}  // namespace ombrix
