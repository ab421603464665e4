// Plans: each term read once into the shape the text-rewriting evaluator would give it,
// lowered into steps and then computed on values, in the text path's own order. A plan
// answers where it is sure to give what the texts give, and meets the faults the texts
// meet; everything else (error texts, guards, odd names) is left to EvaluateTerm's text
// path.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "logic/complex/complex.h"
#include "logic/evaluator/flat_plan.h"
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

  // What the plan of `term` says of it; a fault (and the boxes before it) or an interrupt
  // that the text path would meet propagates from here as from there. `handle`, when
  // given, is what an earlier call left for this same text.
  PlanResult TryEvaluate(std::string_view term, const EvalContext& context,
                         PlanHandle* handle = nullptr);

  // How the terms were answered, for tests and benchmarks: with a value from a plan, or
  // not (by the text path, or ended by a fault).
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
  // Drops every plan: the meaning of a term may have changed.
  void Restamp(const Stamp& stamp, const EvalContext& context);
  const FlatPlan& PlanFor(std::string_view term, const EvalContext& context);
  void Clear();

  Stamp stamp_;
  std::uint64_t generation_ = 1;  // raised whenever the plans are dropped
  bool names_usable_ = true;
  std::unordered_map<std::string, std::unique_ptr<FlatPlan>, Hash, std::equal_to<>> plans_;
  Counts counts_;
  std::vector<TComplex> slots_;  // as many as the largest plan kept needs
  RoundTripMemo round_trips_;
  PowerMemo powers_;
};

}  // namespace ombrix
