#include "logic/evaluator/tables.h"

#include <algorithm>
#include <vector>

#include "logic/complex/cp1252.h"
#include "logic/evaluator/evaluate.h"

namespace ombrix {

namespace {

const std::string kEmpty;

constexpr double kE = 2.718281828459045;
constexpr double kPi = 3.141592653589793;

bool ValidIndex(int k) { return k >= 0 && k < kTableCapacity; }

}  // namespace

// ---------------------------------------------------------------------------------------------
// FunctionTable

FunctionTable::FunctionTable() { Reset(); }

void FunctionTable::Reset() {
  for (int k = 0; k < kFirstUserFunction; ++k) {
    names_[k] = kBuiltinNames[k];
    patterns_[k] = LowerCase1252(names_[k]) + "(";
    rules_[k] = static_cast<signed char>(kBuiltinRules[k]);
  }
  // The user entries keep their stale texts; nothing reads them beyond the last index.
  last_ = kFirstUserFunction - 1;
  RebuildIndex();
}

void FunctionTable::SetLastFunction(int last) {
  // More entries than the table holds are refused, never overrun.
  last_ = std::clamp(last, kFirstUserFunction - 1, kTableCapacity - 1);
  RebuildIndex();
}

void FunctionTable::SetName(int k, std::string name) {
  if (!ValidIndex(k)) return;
  patterns_[k] = LowerCase1252(name) + "(";
  names_[k] = std::move(name);
  RebuildIndex();
}

const std::string& FunctionTable::Term(int k) const {
  if (k < kFirstUserFunction || k >= kTableCapacity) return kEmpty;
  return terms_[k - kFirstUserFunction];
}

void FunctionTable::SetTerm(int k, std::string term) {
  if (k < kFirstUserFunction || k >= kTableCapacity) return;
  terms_[k - kFirstUserFunction] = std::move(term);
  changes_.Bump();
  reach_known_ = false;
}

void FunctionTable::SetArgumentRule(int k, int rule) {
  if (!ValidIndex(k)) return;
  rules_[k] = static_cast<signed char>(rule);
  changes_.Bump();
}

void FunctionTable::RebuildIndex() {
  changes_.Bump();
  reach_known_ = false;
  std::array<unsigned short, 257> counts{};
  max_pattern_ = 1;
  for (int k = 0; k <= last_; ++k) {
    ++counts[static_cast<unsigned char>(patterns_[k][0]) + 1];
    max_pattern_ = std::max(max_pattern_, patterns_[k].size());
  }
  for (int c = 0; c < 256; ++c) counts[c + 1] += counts[c];
  group_start_ = counts;
  // Stable placement keeps each group in index order, so the first hit is the lowest index.
  for (int k = 0; k <= last_; ++k) {
    by_first_[counts[static_cast<unsigned char>(patterns_[k][0])]++] =
        static_cast<unsigned char>(k);
  }
}

int FunctionTable::FindFunctionCallAt(std::string_view text, std::size_t p) const {
  if (p >= text.size()) return -1;
  const auto first = static_cast<unsigned char>(LowerChar1252(text[p]));
  const std::size_t rest = text.size() - p;
  for (unsigned short g = group_start_[first]; g < group_start_[first + 1]; ++g) {
    const int k = by_first_[g];
    const std::string& pattern = patterns_[k];
    if (pattern.size() > rest) continue;
    std::size_t i = 1;
    while (i < pattern.size() && LowerChar1252(text[p + i]) == pattern[i]) ++i;
    if (i == pattern.size()) return k;
  }
  return -1;
}

bool FunctionTable::ReachesItself(int k) const {
  if (k < kFirstUserFunction || k > last_) return false;
  if (!reach_known_) FindSelfReaching();
  return reaches_itself_[k];
}

namespace {

// calls[a][b] becomes true wherever a reaches b through other calls.
void CloseTransitively(std::vector<std::vector<bool>>& calls) {
  const std::size_t count = calls.size();
  for (std::size_t via = 0; via < count; ++via) {
    for (std::size_t a = 0; a < count; ++a) {
      if (!calls[a][via]) continue;
      for (std::size_t b = 0; b < count; ++b) {
        if (calls[via][b]) calls[a][b] = true;
      }
    }
  }
}

}  // namespace

void FunctionTable::FindSelfReaching() const {
  const int first = kFirstUserFunction;
  const int count = last_ - first + 1;
  // calls[a][b]: the term of user function first + a names user function first + b.
  std::vector<std::vector<bool>> calls(count, std::vector<bool>(count, false));
  for (int a = 0; a < count; ++a) {
    // Bodies are expanded with their blanks and read again without them (a built-in's
    // argument is evaluated as a term of its own), so a call may be found in either form.
    std::string kept;
    std::string removed;
    for (char c : terms_[a]) {
      const char read = c == '#' ? '(' : LowerChar1252(c);
      kept += read;
      if (c != ' ') removed += read;
    }
    for (int b = 0; b < count; ++b) {
      const std::string& pattern = patterns_[first + b];
      calls[a][b] =
          kept.find(pattern) != std::string::npos || removed.find(pattern) != std::string::npos;
    }
  }
  CloseTransitively(calls);  // at most 105 functions
  reaches_itself_.fill(false);
  for (int a = 0; a < count; ++a) reaches_itself_[first + a] = calls[a][a];
  reach_known_ = true;
}

// ---------------------------------------------------------------------------------------------
// VariableTable

VariableTable::VariableTable() {
  Reset();
  for (int j = 0; j < 3; ++j) SetCurrentValue(j, start_[j]);
}

void VariableTable::Reset() {
  SetName(0, "i");
  SetName(1, "e");
  SetName(2, "Pi");
  start_[0] = ImaginaryUnit;
  start_[1] = ComplexFromReal(kE);
  start_[2] = ComplexFromReal(kPi);
  last_ = 2;
  changes_.Bump();
}

void VariableTable::SetLastVariable(int last) {
  last_ = std::clamp(last, -1, kTableCapacity - 1);
  changes_.Bump();
}

void VariableTable::SetName(int j, std::string name) {
  if (!ValidIndex(j)) return;
  lowered_[j] = LowerCase1252(name);
  names_[j] = std::move(name);
  changes_.Bump();
}

void VariableTable::CopyStartToCurrent() {
  for (int j = 0; j <= last_; ++j) SetCurrentValue(j, start_[j]);
}

int VariableTable::FindVariable(std::string_view name) const {
  for (int j = 0; j <= last_; ++j) {
    if (lowered_[j] == name) return j;
  }
  return -1;
}

// ---------------------------------------------------------------------------------------------

std::string SubstituteArgument(std::string_view term, std::string_view argument) {
  std::string out;
  std::size_t from = 0;
  for (std::size_t hash = term.find('#'); hash != std::string_view::npos;
       hash = term.find('#', from)) {
    out.append(term, from, hash - from);
    out += argument;
    from = hash + 1;
  }
  out.append(term, from, std::string_view::npos);
  return out;
}

bool IsValidNewName(std::string_view name) {
  const std::string lower = LowerCase1252(name);
  if (lower.empty() || lower[0] < 'a' || lower[0] > 'z') return false;
  return std::all_of(lower.begin() + 1, lower.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
  });
}

}  // namespace ombrix
