// Plans: each term read once into the shape the text-rewriting evaluator would give it,
// then computed on values. A plan only answers where it is sure to give what the texts
// give; everything else (errors, faults, message boxes, guards, odd names) is left to
// EvaluateTerm's text path.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "logic/complex/complex.h"
#include "logic/evaluator/power_memo.h"
#include "logic/evaluator/tables.h"

namespace ombrix {

struct EvalContext;

// A plan found once, kept by a caller next to the text it was found for, so that the next
// evaluation of that text skips the look-up. It holds while the cache has not started
// afresh since.
struct PlanHandle {
  const void* plan = nullptr;
  std::uint64_t generation = 0;
};

class PlanCache {
 public:
  PlanCache();
  ~PlanCache();
  PlanCache(const PlanCache&) = delete;
  PlanCache& operator=(const PlanCache&) = delete;

  // The value whose pair text is the result of `term` (raw), that value as ParseNumberText
  // reads the text back (value), and whether the result is a comparison's "1" or "0"
  // (then both are 1 or 0). False when only the text path can say; nothing was shown.
  // `handle`, when given, is what an earlier call left for this same text.
  bool TryEvaluate(std::string_view term, const EvalContext& context, TComplex& raw,
                   TComplex& value, bool& comparison, PlanHandle* handle = nullptr);

  // How the terms were answered, for tests and benchmarks.
  struct Counts {
    std::uint64_t fast = 0;
    std::uint64_t fallback = 0;
    std::uint64_t built = 0;
  };
  const Counts& Stats() const { return counts_; }

  // The long powers the plans formed, for the text path that runs after a plan gave way.
  PowerMemo& Powers() { return powers_; }

  // At most this many plans are kept; one more starts the cache afresh.
  static constexpr std::size_t kMaxPlans = 4096;

  struct Plan;

 private:
  struct Stamp {
    const FunctionTable* functions = nullptr;
    std::uint64_t function_version = 0;
    const void* variables = nullptr;
    std::uint64_t names_version = 0;
    char separator = 0;
    bool operator==(const Stamp&) const = default;
  };
  struct Hash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };
  struct Memo {
    std::uint64_t bits = 0;  // 0 is +0.0, which never reaches the memo
    double value = 0.0;
  };

  // Drops every plan: the meaning of a term may have changed.
  void Restamp(const Stamp& stamp, const EvalContext& context);
  const Plan& PlanFor(std::string_view term, const EvalContext& context);
  void Clear();
  friend class PlanRunner;
  double RoundTrip(double x);

  Stamp stamp_;
  std::uint64_t generation_ = 1;  // raised whenever the plans are dropped
  bool names_usable_ = true;
  std::unordered_map<std::string, std::unique_ptr<Plan>, Hash, std::equal_to<>> plans_;
  Counts counts_;
  Memo memo_[256];
  PowerMemo powers_;
};

}  // namespace ombrix
