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
#include "logic/complex/num_text.h"
#include "logic/evaluator/evaluate.h"
#include "logic/evaluator/flat_plan.h"
#include "logic/evaluator/power_memo.h"
#include "logic/evaluator/tables.h"

namespace ombrix {

// A plan found once, kept by a caller next to the text it was found for, so that the next
// evaluation of that text skips the look-up. It holds while the cache has not started
// afresh since.
struct PlanHandle {
  void* plan = nullptr;
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
  // The same for a caller that needs only the value: true with the value in `value`, or
  // false (`value` untouched) where only the text path can say.
  bool TryValue(std::string_view term, const EvalContext& context, PlanHandle* handle,
                TComplex& value) {
    FlatPlan& plan = CurrentPlan(term, context, handle);
    if (!plan.usable) [[unlikely]] {
      ++unusable_;
      return false;
    }
    TComplex raw;
    return Run(plan, context, raw, value);
  }

  // The operations of `term` appended to `into`, a longer run of operations of the
  // caller's (AppendLoweredPlan): the register of the term's value read back, or -1 where
  // only the text path can say. They hold while this context's stamp is the one given.
  int AppendTerm(std::string_view term, const EvalContext& context, FlatPlan& into);
  // What the meaning of a term depends on besides its text: the tables and the separator.
  struct Stamp {
    const FunctionTable* functions = nullptr;
    std::uint64_t function_version = 0;
    const void* variables = nullptr;
    std::uint64_t names_version = 0;
    char separator = 0;
    bool operator==(const Stamp&) const = default;
  };
  static Stamp StampOf(const EvalContext& context) {
    return {&context.functions, context.functions.Version(), &context.variables,
            context.variables.NamesVersion(), DecimalSeparator()};
  }
  // The memos a run of operations takes: a caller's run shares the plans' own.
  FlatWork& Work() { return work_; }

  // How the terms were answered, for tests and benchmarks: with a value from a plan, or
  // not (by the text path, or ended by a fault).
  struct Counts {
    std::uint64_t fast = 0;
    std::uint64_t fallback = 0;
    std::uint64_t built = 0;
  };
  // A run ended by a fault is counted as not answered by its plan.
  Counts Stats() const { return {fast_, unusable_ + runs_ - fast_, built_}; }

  // The long powers the plans formed, for the text path that runs after a plan gave way.
  PowerMemo& Powers() { return powers_; }

  // At most this many plans are kept; one more starts the cache afresh.
  static constexpr std::size_t kMaxPlans = 4096;

  struct Plan;

 private:
  struct Hash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };
  // Drops every plan: the meaning of a term may have changed.
  void Restamp(const Stamp& stamp, const EvalContext& context);
  FlatPlan& PlanFor(std::string_view term, const EvalContext& context);
  // The plan tree of `term` (unusable where only the text path can say); the stamp is
  // this context's.
  void Build(std::string_view term, const EvalContext& context, Plan& plan) const;
  // Whether the plans kept were built for this context's tables and separator.
  bool StampHolds(const EvalContext& context) const {
    return stamp_.functions == &context.functions &&
           stamp_.function_version == context.functions.Version() &&
           stamp_.variables == &context.variables &&
           stamp_.names_version == context.variables.NamesVersion() &&
           stamp_.separator == DecimalSeparator();
  }
  // The plan of `term` for this context, through `handle` when it still holds.
  FlatPlan& CurrentPlan(std::string_view term, const EvalContext& context, PlanHandle* handle) {
    if (handle != nullptr && handle->generation == generation_ && StampHolds(context)) [[likely]]
      return *static_cast<FlatPlan*>(handle->plan);
    return FindPlan(term, context, handle);
  }
  [[gnu::noinline]] FlatPlan& FindPlan(std::string_view term, const EvalContext& context,
                                       PlanHandle* handle);
  // Runs a usable plan, counted as not answered until it gives its value: a fault ends
  // the term inside it.
  bool Run(FlatPlan& plan, const EvalContext& context, TComplex& raw, TComplex& value) {
    ++runs_;
    if (!RunFlatPlan(plan, context, work_, raw, value)) return false;
    ++fast_;
    return true;
  }
  void Clear();

  Stamp stamp_;
  std::uint64_t generation_ = 1;  // raised whenever the plans are dropped
  bool names_usable_ = true;
  std::unordered_map<std::string, std::unique_ptr<FlatPlan>, Hash, std::equal_to<>> plans_;
  std::uint64_t runs_ = 0;  // plans run, however they ended
  std::uint64_t fast_ = 0;  // of them, those that gave the value
  std::uint64_t unusable_ = 0;
  std::uint64_t built_ = 0;
  RoundTripMemo round_trips_;
  PowerMemo powers_;
  ScaleMemo scales_;
  FlatWork work_{round_trips_, powers_, scales_};
};

// EvaluateTermValue without a result object per call, for lines run again and again:
// true with the value in `value`, or false with the error text in `error` (`value`
// untouched).
inline bool EvaluateTermInto(std::string_view term, const EvalContext& context, PlanHandle* handle,
                             TComplex& value, std::string& error) {
  if (context.plans != nullptr && context.plans->TryValue(term, context, handle, value)) [[likely]]
    return true;
  return EvaluateTermTextInto(term, context, value, error);
}

}  // namespace ombrix
