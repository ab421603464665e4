#include "logic/program/run_debug.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <utility>

#include "logic/complex/fault.h"
#include "logic/complex/num_text.h"
#include "logic/evaluator/evaluate.h"
#include "logic/evaluator/plan.h"
#include "logic/program/history_ring.h"

namespace ombrix {

namespace {

// Values are compared by their bits: a step back restores them to the last bit.
bool SameBits(double a, double b) {
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

bool SameBits(TComplex a, TComplex b) { return SameBits(a.Re, b.Re) && SameBits(a.Im, b.Im); }

// The current values of the variables in use (a run writes no other).
struct Values {
  std::array<TComplex, kTableCapacity> value{};
  int count = 0;
};

void TakeValues(const VariableTable& variables, Values& values) {
  values.count = std::clamp(variables.LastVariable() + 1, 0, kTableCapacity);
  for (int j = 0; j < values.count; ++j) {
    values.value[static_cast<std::size_t>(j)] = variables.CurrentValue(j);
  }
}

// The indices whose value differs from `before`, in order.
void ChangedSince(const VariableTable& variables, const Values& before, std::vector<int>& changed) {
  changed.clear();
  for (int j = 0; j < before.count; ++j) {
    if (!SameBits(before.value[static_cast<std::size_t>(j)], variables.CurrentValue(j))) {
      changed.push_back(j);
    }
  }
}

// Every box an evaluation would open is kept instead; the first one is what a watch shows.
class CapturedBoxes final : public MessageBoxes {
 public:
  void Show(MessageKind, const std::string& text, const std::string&) override {
    if (!shown) first = text;
    shown = true;
  }
  bool Confirm(const std::string& text) override {
    Show(MessageKind::Plain, text, {});
    return false;
  }
  bool shown = false;
  std::string first;
};

struct Scale {
  double re_min, re_max, im_min, im_max;
};

// Read without the virtual calls: this runs twice for every step the history keeps.
Scale ScaleOf(const DrawingState& drawing) {
  return {drawing.DrawingState::ReMin(), drawing.DrawingState::ReMax(),
          drawing.DrawingState::ImMin(), drawing.DrawingState::ImMax()};
}

bool SameScale(const Scale& a, const Scale& b) {
  return SameBits(a.re_min, b.re_min) && SameBits(a.re_max, b.re_max) &&
         SameBits(a.im_min, b.im_min) && SameBits(a.im_max, b.im_max);
}

}  // namespace

// --- HistoryCanvas ---

void HistoryCanvas::SetPixel(int x, int y, Colour colour) {
  if (log_ != nullptr && x >= 0 && y >= 0 && x < picture_.Width() && y < picture_.Height()) {
    const Colour old = picture_.Pixel(x, y);
    if (old != (colour & 0xFFFFFFu)) {
      Log(static_cast<std::uint32_t>(y) * static_cast<std::uint32_t>(picture_.Width()) +
              static_cast<std::uint32_t>(x),
          old);
    }
  }
  picture_.SetPixel(x, y, colour);
}

void HistoryCanvas::MoveTo(int x, int y) {
  pen_x_ = x;
  pen_y_ = y;
  picture_.MoveTo(x, y);
}

// A line stays within the rectangle of its two ends.
void HistoryCanvas::LineTo(int x, int y) {
  if (log_ != nullptr) {
    Before(std::min(pen_x_, x), std::min(pen_y_, y), std::int64_t{std::max(pen_x_, x)} + 1,
           std::int64_t{std::max(pen_y_, y)} + 1);
  }
  pen_x_ = x;
  pen_y_ = y;
  picture_.LineTo(x, y);
  if (log_ != nullptr) After();
}

void HistoryCanvas::FillRect(int left, int top, int right, int bottom) {
  if (log_ != nullptr) Before(left, top, right, bottom);
  picture_.FillRect(left, top, right, bottom);
  if (log_ != nullptr) After();
}

void HistoryCanvas::Ellipse(int left, int top, int right, int bottom) {
  if (log_ != nullptr) Before(left, top, right, bottom);
  picture_.Ellipse(left, top, right, bottom);
  if (log_ != nullptr) After();
}

void HistoryCanvas::Log(std::uint32_t index, Colour old) {
  if (log_->size() >= max_entries_) {
    overflowed_ = true;
    return;
  }
  log_->push_back({index, old});
}

void HistoryCanvas::Before(std::int64_t left, std::int64_t top, std::int64_t right,
                           std::int64_t bottom) {
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
  const std::int64_t width = picture_.Width(), height = picture_.Height();
  region_.left = static_cast<int>(std::clamp<std::int64_t>(left, 0, width));
  region_.right = static_cast<int>(std::clamp<std::int64_t>(right, 0, width));
  region_.top = static_cast<int>(std::clamp<std::int64_t>(top, 0, height));
  region_.bottom = static_cast<int>(std::clamp<std::int64_t>(bottom, 0, height));
  region_.colours.clear();
  for (int y = region_.top; y < region_.bottom; ++y) {
    for (int x = region_.left; x < region_.right; ++x)
      region_.colours.push_back(picture_.Pixel(x, y));
  }
}

void HistoryCanvas::After() {
  const auto width = static_cast<std::uint32_t>(picture_.Width());
  std::size_t i = 0;
  for (int y = region_.top; y < region_.bottom; ++y) {
    for (int x = region_.left; x < region_.right; ++x, ++i) {
      const Colour old = region_.colours[i];
      if (picture_.Pixel(x, y) != old) {
        Log(static_cast<std::uint32_t>(y) * width + static_cast<std::uint32_t>(x), old);
      }
    }
  }
}

// --- The history: one undo record per step ---

struct RunDebugger::Impl final : StepObserver, ChangeObserver {
  explicit Impl(RunDebugger& owner) : debugger(owner) {}

  // One step of the history is one record of the ring, as small as the step allows (a
  // step of a drawing is mostly one line and one write; a step that changes nothing
  // takes two bytes): its head (PutHead); the cursors before the step when one was not
  // 0; the loop records' bytes when the step changed them; its writes (PutWrite); its
  // stack ops, a byte each; its `pixels`; the old scale when the step changed it; and
  // its `records`, each a RecordHead and the condition's bytes.
  enum StepFlag : std::uint8_t {
    kMouseStep = 1,  // a mouse-click run, not a main-program step
    kCursorKept = 2,
    kBlockBytesKept = 4,
    kScaleKept = 8,
    kWideCounts = 16,  // the counts take four bytes each, not one
    kMainLineKept = 32,
    kMouseLineKept = 64,
    kMainLineNext = 128,  // the main program stood on the line before its current one
  };
  // Which counts follow the flags, in this order.
  enum Count : std::uint8_t { kWrites, kOps, kPixels, kRecords, kCounts };
  struct StepHead {
    std::uint8_t flags = 0;
    std::array<std::uint32_t, kCounts> counts{};
    std::array<std::int32_t, 2> line{};  // before the step, kept where it moved
  };
  // The flags byte, the byte of present counts, the counts, then the kept lines.
  static constexpr std::size_t kMaxHeadBytes = 2 + kCounts * 4 + 2 * 4;
  // Writes at `out`, which has room for kMaxHeadBytes; the bytes written.
  static std::size_t PutHead(StepHead& head, unsigned char* out) {
    const bool wide = *std::max_element(head.counts.begin(), head.counts.end()) > 0xFF;
    if (wide) head.flags |= kWideCounts;
    unsigned char* at = out;
    *at++ = head.flags;
    unsigned char& present = *at++;
    present = 0;
    for (std::size_t i = 0; i < kCounts; ++i) {
      const std::uint32_t count = head.counts[i];
      if (count == 0) continue;
      present |= static_cast<unsigned char>(1u << i);
      if (wide) {
        at = PutBytes(at, &count, 4);
      } else {
        *at++ = static_cast<unsigned char>(count);
      }
    }
    if ((head.flags & kMainLineKept) != 0) at = PutBytes(at, &head.line[0], 4);
    if ((head.flags & kMouseLineKept) != 0) at = PutBytes(at, &head.line[1], 4);
    return static_cast<std::size_t>(at - out);
  }
  static unsigned char* PutBytes(unsigned char* out, const void* data, std::size_t size) {
    std::memcpy(out, data, size);
    return out + size;
  }
  StepHead ReadHead(std::size_t& at) const {
    StepHead head;
    Get(at, &head.flags, 1);
    std::uint8_t present = 0;
    Get(at, &present, 1);
    for (std::size_t i = 0; i < kCounts; ++i) {
      if ((present & (1u << i)) == 0) continue;
      if ((head.flags & kWideCounts) != 0) {
        Get(at, &head.counts[i], 4);
      } else {
        std::uint8_t small = 0;
        Get(at, &small, 1);
        head.counts[i] = small;
      }
    }
    if ((head.flags & kMainLineKept) != 0) Get(at, &head.line[0], 4);
    if ((head.flags & kMouseLineKept) != 0) Get(at, &head.line[1], 4);
    return head;
  }
  // Reads the newest record's bytes at `at` and moves past them.
  void Get(std::size_t& at, void* data, std::size_t size) const {
    ring.ReadNewest(at, data, size);
    at += size;
  }
  // A variable the step changed: its index, which halves of its old value follow, and
  // those halves (those whose bits the step changed).
  enum Halves : std::uint8_t { kOldRe = 1, kOldIm = 2 };
  static_assert(kTableCapacity <= 256, "a variable index is kept in one byte");
  static constexpr std::size_t kMaxWriteBytes = 2 + sizeof(TComplex);
  static unsigned char* PutWrite(unsigned char* out, int variable, TComplex old, TComplex now) {
    const bool re = !SameBits(old.Re, now.Re), im = !SameBits(old.Im, now.Im);
    *out++ = static_cast<unsigned char>(variable);
    *out++ = static_cast<unsigned char>((re ? kOldRe : 0) | (im ? kOldIm : 0));
    if (re) out = PutBytes(out, &old.Re, sizeof old.Re);
    if (im) out = PutBytes(out, &old.Im, sizeof old.Im);
    return out;
  }
  // What the step began with.
  struct Before {
    std::array<std::int32_t, 2> line{};
    std::array<std::int32_t, 2> cursor{};
    std::array<std::uint64_t, 2> block_bytes{};
    bool mouse = false;
  };
  // A loop record as the ring keeps it; its condition's bytes follow.
  struct RecordHead {
    BlockKind kind = BlockKind::Solange;
    std::int32_t start_line = 0;
    std::int32_t variable_index = 0;
    std::int32_t remaining_count = 0;
    double end_value = 0;
    double step = 0;
    std::uint64_t condition_size = 0;
  };
  // A change to a loop stack the interpreter announced, kept in the ring as one byte
  // (kind | slot << 2); a pop or a changed top keeps the old record.
  enum class OpKind : std::uint8_t { Push, Pop, TopChange };
  static unsigned char OpByte(OpKind kind, int slot) {
    return static_cast<unsigned char>(static_cast<unsigned>(kind) |
                                      (static_cast<unsigned>(slot) << 2));
  }

  void BeforeStep(int k) override;
  // Only the value before a variable's first write counts: the step's record keeps it
  // when the step ended with other bits.
  void BeforeWrite(int variable) override {
    const auto j = static_cast<std::size_t>(variable);
    if (written[j]) return;
    written[j] = true;
    first_old[j] = debugger.project_.variables.CurrentValue(variable);
    written_list.push_back(variable);
  }
  void BeforePush(int k) override {
    if (logging) Log(OpByte(OpKind::Push, k));
  }
  void BeforePop(int k) override { KeepTop(OpKind::Pop, k); }
  void BeforeTopChange(int k) override { KeepTop(OpKind::TopChange, k); }
  void KeepTop(OpKind kind, int k) {
    if (!logging) return;
    Log(OpByte(kind, k));
    const BlockRecord& top = debugger.state_.BlockStack[static_cast<std::size_t>(k)].back();
    pending_record_bytes += sizeof(RecordHead) + top.condition.size();
    if (pending_record_bytes > ring.Limit()) {
      overflow = true;
      return;
    }
    // The slots keep their conditions' room from step to step.
    if (pending_record_count == pending_records.size()) {
      pending_records.push_back(top);
    } else {
      pending_records[pending_record_count] = top;
    }
    ++pending_record_count;
  }
  void Log(unsigned char op) {
    if (pending_ops.size() >= ring.Limit()) {
      overflow = true;
      return;
    }
    pending_ops.push_back(op);
  }
  bool Lost() const { return lost || ring.Dropped() > 0; }

  RunDebugger& debugger;
  HistoryRing ring{kDefaultHistoryBytes};
  bool lost = false;  // older steps could not be kept (the ring tells of those it dropped)
  int width = 0, height = 0;
  // The step being run, in buffers that keep their room from step to step.
  bool logging = false;   // its changes go to the history
  bool overflow = false;  // they would not fit
  Before pending;
  Scale pending_scale{};
  std::vector<unsigned char> pending_ops;    // OpByte each
  std::vector<unsigned char> scratch;        // the record's head, writes and ops
  std::vector<BlockRecord> pending_records;  // the first pending_record_count are this step's
  std::size_t pending_record_count = 0;
  std::size_t pending_record_bytes = 0;
  std::vector<HistoryCanvas::PixelChange> pending_pixels;
  // The variables it wrote, each with its value before the first write.
  std::array<bool, kTableCapacity> written{};
  std::array<TComplex, kTableCapacity> first_old{};
  std::vector<int> written_list;
  PlanCache watch_plans;  // watches are read through plans, as fast as the program's terms
  // Beside each watch (index for index): its plan, and the value or error its text was
  // made from, when it was made from one (not from a box or a fault).
  struct WatchValue {
    PlanHandle plan;
    bool known = false;
    std::string error;
    TComplex value{};
    char separator = 0;
  };
  std::vector<WatchValue> watch_values;
  // Everything a term's value can depend on, as it was when the watches were last
  // evaluated: while none of it changes, neither does any watch.
  struct WatchInputs {
    bool known = false;
    Values values{};
    std::uint64_t names = 0;
    std::uint64_t functions = 0;
    Scale scale{};
    TComplex mouse{};
    int width = 0, height = 0;
    char separator = 0;
  } watch_inputs;
  bool WatchInputsChanged();
  LineListener listener;
  Values listened{};  // the values at the listener's last line
  std::vector<int> listened_changed;
  Clock clock = &std::chrono::steady_clock::now;
  std::chrono::steady_clock::time_point next_due{};
  std::int64_t run_id = -1;  // the RunControl start this debugger has seen
  bool watch_stop = false;   // a watched term marked "stop on change" changed
  // In a batch of steps (RunDebugger::Batch), each main-program line ends the step before
  // it and begins its own; `stepping` once the batch's first line has begun.
  bool batch = false;
  bool stepping = false;
};

bool RunDebugger::Impl::WatchInputsChanged() {
  const VariableTable& variables = debugger.project_.variables;
  const DrawingState& drawing = debugger.drawing_;
  WatchInputs& in = watch_inputs;
  const int count = std::clamp(variables.LastVariable() + 1, 0, kTableCapacity);
  bool same = in.known && in.values.count == count && in.names == variables.NamesVersion() &&
              in.functions == debugger.project_.functions.Version() &&
              SameScale(in.scale, ScaleOf(drawing)) &&
              SameBits(in.mouse, drawing.MousePosition()) && in.width == drawing.Width() &&
              in.height == drawing.Height() && in.separator == DecimalSeparator();
  for (int j = 0; same && j < count; ++j) {
    same = SameBits(in.values.value[static_cast<std::size_t>(j)], variables.CurrentValue(j));
  }
  if (same) return false;
  in.known = true;
  TakeValues(variables, in.values);
  in.names = variables.NamesVersion();
  in.functions = debugger.project_.functions.Version();
  in.scale = ScaleOf(drawing);
  in.mouse = drawing.MousePosition();
  in.width = drawing.Width();
  in.height = drawing.Height();
  in.separator = DecimalSeparator();
  return true;
}

void RunDebugger::Impl::BeforeStep(int k) {
  if (batch && k == MainProgram) {
    if (stepping) debugger.EndStep(RunOutcome::Running);
    stepping = true;
    debugger.BeginStep();
  }
  if (!listener) return;
  ChangedSince(debugger.project_.variables, listened, listened_changed);
  TakeValues(debugger.project_.variables, listened);
  const std::int32_t line = debugger.state_.CurrentLine[k];
  const LineEvent event{
      {k, line}, listened_changed, k == MainProgram && debugger.HasBreakpoint(line)};
  listener(event);
}

RunDebugger::RunDebugger(RunControl& control, Interpreter& interpreter, ProjectContent& project,
                         DrawingState& drawing, InterpreterState& state)
    : control_(control),
      interpreter_(interpreter),
      project_(project),
      drawing_(drawing),
      state_(state),
      canvas_(nullptr),
      impl_(std::make_unique<Impl>(*this)) {
  impl_->run_id = control_.Starts();
}

RunDebugger::RunDebugger(RunControl& control, Interpreter& interpreter, ProjectContent& project,
                         DrawingState& drawing, InterpreterState& state, HistoryCanvas& canvas)
    : RunDebugger(control, interpreter, project, drawing, state) {
  canvas_ = &canvas;
  ForgetHistory();
}

RunDebugger::~RunDebugger() {
  if (impl_->listener) interpreter_.SetStepObserver(nullptr);
  if (canvas_ != nullptr) canvas_->Record(nullptr);
}

// A run started through RunControl itself is a new run all the same: nothing of the
// last run's pause or history carries over.
void RunDebugger::Sync() {
  if (impl_->run_id == control_.Starts()) return;
  impl_->run_id = control_.Starts();
  paused_ = false;
  skip_breakpoint_ = false;
  last_pause_ = PauseReason::None;
  changed_.clear();
  last_line_.reset();
  steps_ = 0;
  ForgetHistory();
  impl_->next_due = {};
  RefreshWatches();
  TakeValues(project_.variables, impl_->listened);  // the first line follows no line
}

DebugState RunDebugger::State() const {
  if (!control_.MainRunning()) return DebugState::Stopped;
  if (impl_->run_id != control_.Starts()) return DebugState::Running;
  return paused_ ? DebugState::Paused : DebugState::Running;
}

void RunDebugger::Start() {
  control_.Start();
  Sync();
}

void RunDebugger::PauseFor(PauseReason reason) {
  paused_ = true;
  skip_breakpoint_ = true;
  last_pause_ = reason;
}

void RunDebugger::Pause() {
  Sync();
  if (control_.MainRunning()) PauseFor(PauseReason::Requested);
}

void RunDebugger::Continue() {
  Sync();
  paused_ = false;
}

bool RunDebugger::Idle() const {
  return breakpoints_.empty() && watches_.empty() && !HistoryEnabled() && tempo_ == 0;
}

void RunDebugger::BeginStep() {
  BeginRecord(false);
  last_line_ = ProgramLine{MainProgram, state_.CurrentLine[MainProgram]};
}

void RunDebugger::EndStep(RunOutcome outcome) {
  ++steps_;
  EndRecord(outcome != RunOutcome::Failed);
  EvaluateWatches();
}

RunOutcome RunDebugger::OneStep() {
  BeginStep();
  const RunOutcome outcome = control_.StepMain({1, std::nullopt});
  EndStep(outcome);
  return outcome;
}

// Nothing can pause the run before the slice ends: no tempo, no breakpoint on a line the
// main program has, no watch that stops on change.
bool RunDebugger::Unpausable() const {
  if (tempo_ != 0) return false;
  if (!breakpoints_.empty() &&
      static_cast<std::size_t>(*breakpoints_.begin()) < project_.programs[MainProgram].size()) {
    return false;
  }
  return std::none_of(watches_.begin(), watches_.end(),
                      [](const Watch& watch) { return watch.stop_on_change; });
}

// The whole slice through one StepMain: the interpreter tells of each line before it
// runs, and there each step is ended and the next begun, as OneStep does them one by one.
RunOutcome RunDebugger::Batch(StepBudget budget) {
  Impl& h = *impl_;
  h.batch = true;
  h.stepping = false;
  interpreter_.SetStepObserver(&h);
  struct Done {
    RunDebugger& debugger;
    ~Done() {
      Impl& impl = *debugger.impl_;
      impl.batch = false;
      debugger.interpreter_.SetStepObserver(impl.listener ? &impl : nullptr);
    }
  } done{*this};
  skip_breakpoint_ = false;
  const RunOutcome outcome = control_.StepMain(budget);
  if (h.stepping) EndStep(outcome);
  return outcome;
}

RunOutcome RunDebugger::SingleStep() {
  Sync();
  if (!control_.MainRunning()) {
    Start();
    PauseFor(PauseReason::SingleStep);
    return control_.MainAtEnd() ? RunOutcome::Ended : RunOutcome::Running;
  }
  if (control_.MainAtEnd()) return RunOutcome::Ended;
  const RunOutcome outcome = OneStep();
  if (outcome == RunOutcome::Failed) return outcome;
  if (control_.MainRunning()) PauseFor(PauseReason::SingleStep);
  return outcome;
}

RunOutcome RunDebugger::Slice(StepBudget budget) {
  Sync();
  if (!control_.MainRunning() || paused_) return RunOutcome::Running;
  if (Idle()) {
    const std::int64_t before = control_.LinesRun();
    const RunOutcome outcome = control_.StepMain(budget);
    steps_ += control_.LinesRun() - before;
    return outcome;
  }
  if (Unpausable()) return Batch(budget);
  SliceClock& slices = control_.Slices();
  const bool timed = budget.time.has_value();
  if (timed) slices.Begin(budget.time);
  std::int64_t lines = 0;
  while (control_.MainRunning()) {
    if (control_.MainAtEnd()) return RunOutcome::Ended;
    const std::int32_t line = state_.CurrentLine[MainProgram];
    if (!skip_breakpoint_ && HasBreakpoint(line)) {
      PauseFor(PauseReason::Breakpoint);
      break;
    }
    if (tempo_ > 0) {
      const auto now = impl_->clock();
      if (now < impl_->next_due) break;
      impl_->next_due = now + std::chrono::nanoseconds(1000000000 / tempo_);
    }
    skip_breakpoint_ = false;
    const RunOutcome outcome = OneStep();
    if (outcome == RunOutcome::Failed) return outcome;
    ++lines;
    if (impl_->watch_stop && control_.MainRunning()) {
      PauseFor(PauseReason::WatchChanged);
      break;
    }
    if (budget.lines > 0 && lines >= budget.lines) break;
    if (timed && slices.Spent()) break;
  }
  return RunOutcome::Running;
}

RunOutcome RunDebugger::RunMouseProgram() {
  Sync();
  BeginRecord(true);
  const RunOutcome outcome = control_.RunMouseProgram();
  EndRecord(outcome != RunOutcome::Failed);
  EvaluateWatches();
  if (impl_->watch_stop && control_.MainRunning()) PauseFor(PauseReason::WatchChanged);
  return outcome;
}

// --- Breakpoints ---

void RunDebugger::SetBreakpoint(std::int32_t line, bool on) {
  if (line < 0) return;
  if (on) {
    breakpoints_.insert(line);
  } else {
    breakpoints_.erase(line);
  }
}

void RunDebugger::ToggleBreakpoint(std::int32_t line) { SetBreakpoint(line, !HasBreakpoint(line)); }

bool RunDebugger::HasBreakpoint(std::int32_t line) const {
  return !breakpoints_.empty() && breakpoints_.count(line) > 0;
}

std::vector<std::int32_t> RunDebugger::Breakpoints() const {
  const auto lines = static_cast<std::int64_t>(project_.programs[MainProgram].size());
  std::vector<std::int32_t> out;
  for (const std::int32_t line : breakpoints_) {
    if (line < lines) out.push_back(line);
  }
  return out;
}

// --- Step back ---

void RunDebugger::SetHistoryEnabled(bool on) {
  history_enabled_ = on;
  if (!on) ForgetHistory();
}

bool RunDebugger::HistoryEnabled() const {
  return history_enabled_ && canvas_ != nullptr && canvas_->CanReadBack();
}

void RunDebugger::SetHistoryLimit(std::size_t bytes) { impl_->ring.SetLimit(bytes); }

std::size_t RunDebugger::HistoryBytes() const { return impl_->ring.Bytes(); }
std::size_t RunDebugger::HistorySteps() const { return impl_->ring.Records(); }

void RunDebugger::ForgetHistory() {
  Impl& h = *impl_;
  h.ring.Clear();
  h.lost = false;
  if (canvas_ != nullptr) {
    h.width = canvas_->Width();
    h.height = canvas_->Height();
  }
}

// The interpreter tells of every change while the step runs; the history keeps them when
// it is on and the main program runs (a mouse-click run while stopped is no step of it).
void RunDebugger::BeginRecord(bool mouse) {
  Impl& h = *impl_;
  interpreter_.SetChangeObserver(&h);
  h.logging = HistoryEnabled() && control_.MainRunning();
  if (!h.logging) return;
  Impl::Before& r = h.pending;
  r.line = state_.CurrentLine;
  r.cursor = state_.ArgumentCursor;
  r.block_bytes = {state_.block_bytes[0], state_.block_bytes[1]};
  r.mouse = mouse;
  h.overflow = false;
  h.pending_ops.clear();
  h.pending_record_count = 0;
  h.pending_record_bytes = 0;
  h.pending_pixels.clear();
  h.pending_scale = ScaleOf(drawing_);
  canvas_->Record(&h.pending_pixels, h.ring.Limit() / sizeof(HistoryCanvas::PixelChange));
}

void RunDebugger::EndRecord(bool keep) {
  Impl& h = *impl_;
  interpreter_.SetChangeObserver(nullptr);
  changed_.clear();
  for (const int j : h.written_list) {
    const auto at = static_cast<std::size_t>(j);
    if (!SameBits(h.first_old[at], project_.variables.CurrentValue(j))) changed_.push_back(j);
    h.written[at] = false;
  }
  h.written_list.clear();
  if (changed_.size() > 1) std::sort(changed_.begin(), changed_.end());
  if (!h.logging) return;
  h.logging = false;
  canvas_->Record(nullptr);
  if (!keep) return;
  if (!h.pending_pixels.empty() && (canvas_->Width() != h.width || canvas_->Height() != h.height)) {
    ForgetHistory();  // pixels are kept by their index in a picture of one size
  }
  if (h.overflow || canvas_->Overflowed()) {
    // Too large for the history: neither it nor the steps before it can be undone.
    ForgetHistory();
    h.lost = true;
    return;
  }
  const Impl::Before& before = h.pending;
  Impl::StepHead r;
  r.line = before.line;
  r.counts = {static_cast<std::uint32_t>(changed_.size()),
              static_cast<std::uint32_t>(h.pending_ops.size()),
              static_cast<std::uint32_t>(h.pending_pixels.size()),
              static_cast<std::uint32_t>(h.pending_record_count)};
  const bool cursor = before.cursor[0] != 0 || before.cursor[1] != 0;
  const bool block_bytes = before.block_bytes[0] != state_.block_bytes[0] ||
                           before.block_bytes[1] != state_.block_bytes[1];
  const bool scale = !SameScale(h.pending_scale, ScaleOf(drawing_));
  const std::int64_t main_now = state_.CurrentLine[0];
  const bool main_next = before.line[0] == main_now - 1;
  r.flags = static_cast<std::uint8_t>(
      (before.mouse ? +Impl::kMouseStep : 0) | (cursor ? +Impl::kCursorKept : 0) |
      (block_bytes ? +Impl::kBlockBytesKept : 0) | (scale ? +Impl::kScaleKept : 0) |
      (main_next ? +Impl::kMainLineNext : 0) |
      (!main_next && before.line[0] != main_now ? +Impl::kMainLineKept : 0) |
      (before.line[1] != state_.CurrentLine[1] ? +Impl::kMouseLineKept : 0));
  // The small parts are put together first, into room that stays from step to step.
  const std::size_t most = Impl::kMaxHeadBytes + sizeof before.cursor + sizeof before.block_bytes +
                           changed_.size() * Impl::kMaxWriteBytes + h.pending_ops.size();
  if (h.scratch.size() < most) h.scratch.resize(most);
  unsigned char* const start = h.scratch.data();
  unsigned char* out = start + Impl::PutHead(r, start);
  if (cursor) out = Impl::PutBytes(out, before.cursor.data(), sizeof before.cursor);
  if (block_bytes) out = Impl::PutBytes(out, before.block_bytes.data(), sizeof before.block_bytes);
  for (const int j : changed_) {
    out = Impl::PutWrite(out, j, h.first_old[static_cast<std::size_t>(j)],
                         project_.variables.CurrentValue(j));
  }
  if (!h.pending_ops.empty()) out = Impl::PutBytes(out, h.pending_ops.data(), h.pending_ops.size());
  const auto small = static_cast<std::size_t>(out - start);
  if (h.pending_pixels.empty() && !scale && h.pending_record_count == 0) {
    // Most steps: the small parts are the whole record.
    if (!h.ring.Add(start, small)) {
      ForgetHistory();
      h.lost = true;
    }
    return;
  }
  const std::size_t pixel_bytes = h.pending_pixels.size() * sizeof(HistoryCanvas::PixelChange);
  const std::size_t payload =
      small + pixel_bytes + (scale ? sizeof(Scale) : 0) + h.pending_record_bytes;
  if (!h.ring.Begin(payload)) {
    // Too large for the history: neither it nor the steps before it can be undone.
    ForgetHistory();
    h.lost = true;
    return;
  }
  h.ring.Put(start, small);
  if (pixel_bytes > 0) h.ring.Put(h.pending_pixels.data(), pixel_bytes);
  if (scale) h.ring.Put(&h.pending_scale, sizeof(Scale));
  for (std::size_t i = 0; i < h.pending_record_count; ++i) {
    const BlockRecord& record = h.pending_records[i];
    const Impl::RecordHead head{
        record.kind,      record.start_line, record.variable_index,  record.remaining_count,
        record.end_value, record.step,       record.condition.size()};
    h.ring.Put(&head, sizeof head);
    h.ring.Put(record.condition.data(), record.condition.size());
  }
  h.ring.End();
}

std::optional<std::string> RunDebugger::StepBack() {
  Sync();
  Impl& h = *impl_;
  if (State() != DebugState::Paused) return std::string(kStepBackNotPaused);
  if (h.ring.Records() == 0) return std::string(h.Lost() ? kHistoryExhausted : kHistoryEmpty);
  if (canvas_->Width() != h.width || canvas_->Height() != h.height) {
    ForgetHistory();
    h.lost = true;
    return std::string(kHistoryExhausted);
  }
  std::size_t at = 0;
  const Impl::StepHead r = h.ReadHead(at);
  Impl::Before before;
  const std::int32_t main_now = state_.CurrentLine[0];
  before.line = {(r.flags & Impl::kMainLineKept) != 0   ? r.line[0]
                 : (r.flags & Impl::kMainLineNext) != 0 ? main_now - 1
                                                        : main_now,
                 (r.flags & Impl::kMouseLineKept) != 0 ? r.line[1] : state_.CurrentLine[1]};
  if ((r.flags & Impl::kCursorKept) != 0) h.Get(at, before.cursor.data(), sizeof before.cursor);
  const bool block_bytes = (r.flags & Impl::kBlockBytesKept) != 0;
  if (block_bytes) h.Get(at, before.block_bytes.data(), sizeof before.block_bytes);
  // A step changes each variable once, as a whole: the writes come back in any order.
  std::vector<int> written(r.counts[Impl::kWrites]);
  for (int& variable : written) {
    std::array<std::uint8_t, 2> tag{};
    h.Get(at, tag.data(), tag.size());
    variable = tag[0];
    TComplex old = project_.variables.CurrentValue(variable);
    if ((tag[1] & Impl::kOldRe) != 0) h.Get(at, &old.Re, sizeof old.Re);
    if ((tag[1] & Impl::kOldIm) != 0) h.Get(at, &old.Im, sizeof old.Im);
    project_.variables.SetCurrentValue(variable, old);
  }
  std::vector<unsigned char> ops(r.counts[Impl::kOps]);
  h.Get(at, ops.data(), ops.size());
  const std::size_t pixels_at = at;
  const std::size_t scale_at =
      pixels_at + r.counts[Impl::kPixels] * sizeof(HistoryCanvas::PixelChange);
  const bool scale = (r.flags & Impl::kScaleKept) != 0;
  std::size_t records_at = scale_at + (scale ? sizeof(Scale) : 0);
  std::vector<BlockRecord> records(r.counts[Impl::kRecords]);
  for (BlockRecord& record : records) {
    Impl::RecordHead head;
    h.Get(records_at, &head, sizeof head);
    record.kind = head.kind;
    record.start_line = head.start_line;
    record.variable_index = head.variable_index;
    record.remaining_count = head.remaining_count;
    record.end_value = head.end_value;
    record.step = head.step;
    record.condition.resize(static_cast<std::size_t>(head.condition_size));
    h.Get(records_at, record.condition.data(), record.condition.size());
  }

  // Pixels and stack ops newest first: a pixel a step changed twice gets its colour from
  // before the first change.
  const auto width = static_cast<std::uint32_t>(h.width);
  canvas_->Record(nullptr);
  for (std::uint32_t i = r.counts[Impl::kPixels]; i-- > 0;) {
    HistoryCanvas::PixelChange p;
    h.ring.ReadNewest(pixels_at + i * sizeof p, &p, sizeof p);
    canvas_->SetPixel(static_cast<int>(p.index % width), static_cast<int>(p.index / width),
                      p.old_colour);
  }
  if (scale) {
    Scale old{};
    h.ring.ReadNewest(scale_at, &old, sizeof old);
    drawing_.SetScale(old.re_min, old.re_max, old.im_min, old.im_max);
  }
  for (std::size_t i = ops.size(); i-- > 0;) {
    const auto kind = static_cast<Impl::OpKind>(ops[i] & 3u);
    std::vector<BlockRecord>& stack = state_.BlockStack[(ops[i] >> 2) & 1u];
    switch (kind) {
      case Impl::OpKind::Push:
        stack.pop_back();
        break;
      case Impl::OpKind::Pop:
        stack.push_back(std::move(records.back()));
        records.pop_back();
        break;
      case Impl::OpKind::TopChange:
        stack.back() = std::move(records.back());
        records.pop_back();
        break;
    }
  }
  h.ring.DropNewest();
  state_.CurrentLine = before.line;
  state_.ArgumentCursor = before.cursor;
  if (block_bytes) {
    state_.block_bytes = {static_cast<std::size_t>(before.block_bytes[0]),
                          static_cast<std::size_t>(before.block_bytes[1])};
  }
  std::sort(written.begin(), written.end());
  changed_ = std::move(written);
  if ((r.flags & Impl::kMouseStep) == 0) --steps_;
  last_line_.reset();
  EvaluateWatches();
  PauseFor(PauseReason::SteppedBack);
  return std::nullopt;
}

// --- Watches ---

std::string RunDebugger::WatchText(std::string_view term) const {
  CapturedBoxes boxes;
  const EvalContext context{project_.functions,  project_.variables, drawing_, boxes,
                            kPowerProductBudget, &impl_->watch_plans};
  std::string text;
  try {
    text = EvaluateForDisplay(term, context);
  } catch (const Fault& fault) {
    text = FaultDisplayText(fault.what());
  }
  if (boxes.shown) return boxes.first;
  return text;
}

// After a step: nothing is evaluated while nothing a term can read has changed; then each
// watch goes through its plan, and its text is made again only from a value or error
// that differs from the one it was made from. A box or a fault takes the whole way of
// WatchText. The texts are the same as WatchText's, step for step.
bool RunDebugger::WatchChanged(std::size_t index) {
  Watch& watch = watches_[index];
  Impl::WatchValue& last = impl_->watch_values[index];
  CapturedBoxes boxes;
  const EvalContext context{project_.functions,  project_.variables, drawing_, boxes,
                            kPowerProductBudget, &impl_->watch_plans};
  TermValue value;
  bool plain = true;
  try {
    value = EvaluateTermValue(watch.term, context, &last.plan);
  } catch (const Fault&) {
    plain = false;
  }
  std::string text;
  if (!plain || boxes.shown) {
    last.known = false;
    text = WatchText(watch.term);
  } else if (last.known && value.error == last.error && SameBits(value.value, last.value) &&
             last.separator == DecimalSeparator()) {
    return false;
  } else {
    // A pair text shows as its value's display form; "1" and "0" read back as 1 and 0.
    text = value.error.empty() ? ComplexToText(value.value) : DisplayOfResult(value.error);
    last.known = true;
    last.error = std::move(value.error);
    last.value = value.value;
    last.separator = DecimalSeparator();
  }
  const bool changed = text != watch.text;
  watch.text = std::move(text);
  return changed;
}

void RunDebugger::EvaluateWatches() {
  impl_->watch_stop = false;
  if (watches_.empty()) return;
  const bool inputs_changed = impl_->WatchInputsChanged();
  for (std::size_t i = 0; i < watches_.size(); ++i) {
    Watch& watch = watches_[i];
    watch.changed = inputs_changed && WatchChanged(i);
    if (watch.changed && watch.stop_on_change) impl_->watch_stop = true;
  }
}

// A text made by WatchText: the next step compares with it afresh.
void RunDebugger::WatchTextSet(std::size_t index) {
  impl_->watch_values.resize(watches_.size());
  impl_->watch_values[index].known = false;
  impl_->watch_inputs.known = false;
}

int RunDebugger::AddWatch(std::string term, bool stop_on_change) {
  Watch watch{std::move(term), stop_on_change, {}, false};
  watch.text = WatchText(watch.term);
  watches_.push_back(std::move(watch));
  WatchTextSet(watches_.size() - 1);
  return static_cast<int>(watches_.size()) - 1;
}

void RunDebugger::RemoveWatch(int index) {
  if (index >= 0 && static_cast<std::size_t>(index) < watches_.size()) {
    watches_.erase(watches_.begin() + index);
    impl_->watch_values.erase(impl_->watch_values.begin() + index);
  }
}

void RunDebugger::SetWatchTerm(int index, std::string term) {
  if (index < 0 || static_cast<std::size_t>(index) >= watches_.size()) return;
  Watch& watch = watches_[static_cast<std::size_t>(index)];
  watch.term = std::move(term);
  watch.text = WatchText(watch.term);
  watch.changed = false;
  WatchTextSet(static_cast<std::size_t>(index));
}

void RunDebugger::SetStopOnChange(int index, bool on) {
  if (index >= 0 && static_cast<std::size_t>(index) < watches_.size()) {
    watches_[static_cast<std::size_t>(index)].stop_on_change = on;
  }
}

void RunDebugger::RefreshWatches() {
  for (std::size_t i = 0; i < watches_.size(); ++i) {
    watches_[i].text = WatchText(watches_[i].term);
    watches_[i].changed = false;
    WatchTextSet(i);
  }
}

// --- A term's rewriting ---

std::vector<std::string> RunDebugger::Rewriting(std::string_view term) const {
  CapturedBoxes boxes;
  const EvalContext context{project_.functions, project_.variables, drawing_, boxes};
  std::vector<std::string> texts;
  try {
    ExplainTerm(term, context, texts);
  } catch (const Fault& fault) {
    texts.push_back(FaultDisplayText(fault.what()));
  }
  return texts;
}

std::vector<std::string> RunDebugger::TermsOfLine(ProgramLine at) const {
  if (at.program != MainProgram && at.program != MouseHandlerProgram) return {};
  const ProgramText& program = project_.programs[static_cast<std::size_t>(at.program)];
  if (at.line < 0 || static_cast<std::size_t>(at.line) >= program.size()) return {};
  const std::string& line = program[static_cast<std::size_t>(at.line)];
  const LineForm form = interpreter_.FormOf(at.program, at.line);
  if (form.assign != std::string::npos) return {line.substr(form.assign + 2)};
  if (form.closing == static_cast<int>(BlockKind::Solange)) {
    // The closing line tests the condition its loop record keeps.
    const auto& stack = state_.BlockStack[static_cast<std::size_t>(at.program)];
    if (!stack.empty() && stack.back().kind == BlockKind::Solange) return {stack.back().condition};
    return {};
  }
  int count = 0, skip = 0;
  if (form.command >= 0) {
    count = CommandArgumentCount(form.command);
  } else if (form.opening == static_cast<int>(BlockKind::Fuer)) {
    count = 4;
    skip = 1;  // the loop variable's name
  } else if (form.opening >= 0 && form.opening != static_cast<int>(BlockKind::Andernfalls)) {
    count = 1;
  }
  std::vector<std::string> terms;
  if (form.bracket == std::string::npos) return terms;
  std::size_t start = form.bracket + 1;
  for (int i = 0; i < count; ++i) {
    const std::size_t end = ArgumentEnd(line, start);
    if (end == std::string::npos) break;
    if (i >= skip) terms.push_back(line.substr(start, end - start));
    start = end + 1;
  }
  return terms;
}

// --- Tempo ---

void RunDebugger::SetTempo(int lines_per_second) {
  tempo_ = std::max(0, lines_per_second);
  impl_->next_due = {};
}

std::chrono::nanoseconds RunDebugger::UntilNextLine() const {
  if (tempo_ == 0) return {};
  const auto now = impl_->clock();
  if (now >= impl_->next_due) return {};
  return impl_->next_due - now;
}

void RunDebugger::SetClock(Clock clock) {
  control_.Slices().SetClock(clock);
  impl_->clock = std::move(clock);
}

// --- Where the run stands ---

ProgramLine RunDebugger::NextLine() const { return {MainProgram, state_.CurrentLine[MainProgram]}; }

void RunDebugger::SetLineListener(LineListener listener) {
  impl_->listener = std::move(listener);
  TakeValues(project_.variables, impl_->listened);
  interpreter_.SetStepObserver(impl_->listener ? impl_.get() : nullptr);
}

}  // namespace ombrix
