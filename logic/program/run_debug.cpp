#include "logic/program/run_debug.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <span>
#include <utility>

#include "logic/complex/fault.h"
#include "logic/complex/num_text.h"
#include "logic/evaluator/evaluate.h"
#include "logic/evaluator/plan.h"
#include "logic/program/step_log.h"

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
  explicit Impl(RunDebugger& owner)
      : debugger(owner),
        variables(owner.project_.variables),
        state(owner.state_),
        drawing(owner.drawing_) {}

  // One step of the history is one record of the log, as small as the step allows. Most
  // steps move the main program, write a variable or two and at most push or pop one loop
  // record of its stack, nothing else: their record is the head byte, where the main
  // program stood (PutLine), the writes (PutWrite), and for a push or a pop the loop
  // records' bytes before it and the record popped (PutLoopRecord); such a step takes a
  // few bytes. Any other step's head has kMore, and a byte of MoreFlag and the counts
  // (Count) follow it; then where the main program stood; the cursors, the loop records'
  // bytes of either program and the mouse-click program's line when kept; its writes; its
  // stack ops, a byte each; its `pixels`; the old scale and colour when kept; and the loop
  // records it took away or changed (PutLoopRecord).
  enum HeadFlag : std::uint8_t {
    kLineAsNow = 0,      // the main program stood where it stands
    kLineOneBefore = 1,  // on the line before
    kLineNear = 2,       // elsewhere, within a signed byte of here: the distance follows
    kLineFar = 3,        // further away: the line follows
    kLineBits = 3,
    kMouseStep = 4,  // a mouse-click run, not a main-program step
    kMore = 8,
  };
  // Without kMore the head counts the writes in bits 4 and 5, and tells the stack op in
  // bits 6 and 7: 0 for none, else 1 + its OpKind (a push or a pop).
  static constexpr unsigned kWritesShift = 4;
  static constexpr unsigned kOpShift = 6;
  enum MoreFlag : std::uint8_t {
    kCursorKept = 1,
    kMainBlockBytesKept = 2,
    kScaleKept = 4,
    kMouseLineKept = 8,
    kWideCounts = 16,  // the counts take four bytes each, not one
    kMouseBlockBytesKept = 32,
    kColourKept = 64,
  };
  enum Count : std::uint8_t { kWrites, kOps, kPixels, kRecords, kCounts };
  static unsigned char* PutBytes(unsigned char* out, const void* data, std::size_t size) {
    std::memcpy(out, data, size);
    return out + size;
  }
  static void GetBytes(const unsigned char*& at, void* data, std::size_t size) {
    if (size > 0) std::memcpy(data, at, size);
    at += size;
  }
  // Where the main program stood before the step, `now` standing where it stands: the
  // line form, and at `out` (room for four bytes) what it needs.
  static constexpr std::size_t kMaxLineBytes = sizeof(std::int32_t);
  static unsigned char* PutLine(unsigned char* out, std::int32_t before, std::int32_t now,
                                unsigned& form) {
    const std::int64_t distance = std::int64_t{before} - now;
    if (distance == -1 || distance == 0) {
      form = distance == 0 ? kLineAsNow : kLineOneBefore;
      return out;
    }
    if (distance >= INT8_MIN && distance <= INT8_MAX) {
      form = kLineNear;
      *out = static_cast<unsigned char>(static_cast<std::int8_t>(distance));
      return out + 1;
    }
    form = kLineFar;
    return PutBytes(out, &before, sizeof before);
  }
  static std::int32_t GetLine(const unsigned char*& at, unsigned form, std::int32_t now) {
    switch (form & kLineBits) {
      case kLineOneBefore:
        return now - 1;
      case kLineNear:
        return static_cast<std::int32_t>(now + static_cast<std::int8_t>(*at++));
      case kLineFar: {
        std::int32_t before = 0;
        GetBytes(at, &before, sizeof before);
        return before;
      }
      default:
        return now;
    }
  }
  // A variable the step changed: its index, a byte with the form of each half of its old
  // value (HalfForm; the real half in the low two bits), and the halves kept. A counter
  // that went up by one keeps nothing: its old value is the new one less one, and taking
  // one off gives those bits again. Both halves are written and the pointer moves past
  // those kept, so the way through does not depend on the values; there is room for
  // kMaxWriteBytes. The forms are 0 when the step wrote the bits it found.
  enum HalfForm : unsigned { kHalfSame = 0, kHalfKept = 1, kHalfOneLess = 2 };
  static_assert(kTableCapacity <= 256, "a variable index is kept in one byte");
  static constexpr std::size_t kMaxWriteBytes = 2 + sizeof(TComplex);
  static unsigned HalfFormOf(double old, double now) {
    if (SameBits(old, now)) return kHalfSame;
    return SameBits(old, now - 1) ? kHalfOneLess : kHalfKept;
  }
  [[gnu::always_inline]] static unsigned char* PutWrite(unsigned char* out, int variable,
                                                        TComplex old, TComplex now,
                                                        unsigned& forms) {
    const unsigned re = HalfFormOf(old.Re, now.Re), im = HalfFormOf(old.Im, now.Im);
    forms = re | im << 2;
    out[0] = static_cast<unsigned char>(variable);
    out[1] = static_cast<unsigned char>(forms);
    std::memcpy(out + 2, &old.Re, sizeof old.Re);
    std::memcpy(out + 2 + (re == kHalfKept ? sizeof old.Re : 0), &old.Im, sizeof old.Im);
    return out + 2 + (re == kHalfKept ? sizeof old.Re : 0) + (im == kHalfKept ? sizeof old.Im : 0);
  }
  static double GetHalf(const unsigned char*& at, unsigned form, double now) {
    switch (form & 3u) {
      case kHalfKept:
        GetBytes(at, &now, sizeof now);
        return now;
      case kHalfOneLess:
        return now - 1;
      default:
        return now;
    }
  }
  // The writes a short record keeps at most, and the bytes it takes at most.
  static constexpr std::size_t kMaxShortWrites = 2;
  static constexpr std::size_t kMaxShortBytes =
      1 + kMaxLineBytes + kMaxShortWrites * kMaxWriteBytes;
  static_assert(kMaxShortBytes <= StepLog::kMaxPacked);
  // What the step began with.
  struct Before {
    std::array<std::int32_t, 2> line{};
    std::array<std::int32_t, 2> cursor{};
    std::array<std::uint64_t, 2> block_bytes{};
    bool mouse = false;
  };
  // A loop record as the log keeps it: its kind; a byte of LoopField that tells which
  // fields follow (those that are not 0) and whether the condition's size takes four
  // bytes or one; those fields; the size; and the condition's bytes.
  enum LoopField : std::uint8_t {
    kStartLine = 1,
    kVariable = 2,
    kRemaining = 4,
    kEndValue = 8,
    kStep = 16,
    kLongCondition = 32,
  };
  static constexpr std::size_t kMaxLoopRecordBytes = 2 + 3 * 4 + 2 * 8 + 4;
  static unsigned char* PutLoopRecord(unsigned char* out, const BlockRecord& r) {
    const std::size_t size = r.condition.size();
    const bool long_condition = size >= 0xFF;
    *out++ = static_cast<unsigned char>(r.kind);
    unsigned char& fields = *out++;
    fields = static_cast<unsigned char>(
        (r.start_line != 0 ? +kStartLine : 0) | (r.variable_index != 0 ? +kVariable : 0) |
        (r.remaining_count != 0 ? +kRemaining : 0) |
        (std::bit_cast<std::uint64_t>(r.end_value) != 0 ? +kEndValue : 0) |
        (std::bit_cast<std::uint64_t>(r.step) != 0 ? +kStep : 0) |
        (long_condition ? +kLongCondition : 0));
    if ((fields & kStartLine) != 0) out = PutBytes(out, &r.start_line, sizeof r.start_line);
    if ((fields & kVariable) != 0) out = PutBytes(out, &r.variable_index, sizeof r.variable_index);
    if ((fields & kRemaining) != 0) {
      out = PutBytes(out, &r.remaining_count, sizeof r.remaining_count);
    }
    if ((fields & kEndValue) != 0) out = PutBytes(out, &r.end_value, sizeof r.end_value);
    if ((fields & kStep) != 0) out = PutBytes(out, &r.step, sizeof r.step);
    if (long_condition) {
      const auto wide = static_cast<std::uint32_t>(size);
      out = PutBytes(out, &wide, sizeof wide);
    } else {
      *out++ = static_cast<unsigned char>(size);
    }
    return size > 0 ? PutBytes(out, r.condition.data(), size) : out;
  }
  static BlockRecord GetLoopRecord(const unsigned char*& at) {
    BlockRecord r;
    r.kind = static_cast<BlockKind>(*at++);
    const unsigned fields = *at++;
    if ((fields & kStartLine) != 0) GetBytes(at, &r.start_line, sizeof r.start_line);
    if ((fields & kVariable) != 0) GetBytes(at, &r.variable_index, sizeof r.variable_index);
    if ((fields & kRemaining) != 0) GetBytes(at, &r.remaining_count, sizeof r.remaining_count);
    if ((fields & kEndValue) != 0) GetBytes(at, &r.end_value, sizeof r.end_value);
    if ((fields & kStep) != 0) GetBytes(at, &r.step, sizeof r.step);
    std::uint32_t size = 0;
    if ((fields & kLongCondition) != 0) {
      GetBytes(at, &size, sizeof size);
    } else {
      size = *at++;
    }
    r.condition.assign(reinterpret_cast<const char*>(at), size);
    at += size;
    return r;
  }
  // A change to a loop stack the interpreter announced, kept in the log as one byte
  // (kind | slot << 2); a pop or a changed top keeps the old record.
  enum class OpKind : std::uint8_t { Push, Pop, TopChange };
  static unsigned char OpByte(OpKind kind, int slot) {
    return static_cast<unsigned char>(static_cast<unsigned>(kind) |
                                      (static_cast<unsigned>(slot) << 2));
  }

  void BeforeStep(int k) override;
  [[gnu::noinline]] void BeforeOtherStep(int k);
  [[gnu::noinline]] void Listen(int k);
  // Only the value before a variable's first write counts: the step's record keeps it
  // when the step ended with other bits.
  void BeforeWrite(int variable) override {
    const auto j = static_cast<std::size_t>(variable);
    if (written[j]) return;
    written[j] = true;
    first_old[j] = variables.CurrentValue(variable);
    written_list[written_count++] = variable;
  }
  void BeforePush(int k) override {
    if (logging) Log(OpByte(OpKind::Push, k));
  }
  void BeforePop(int k) override { KeepTop(OpKind::Pop, k); }
  void BeforeTopChange(int k) override { KeepTop(OpKind::TopChange, k); }
  void KeepTop(OpKind kind, int k) {
    if (!logging) return;
    Log(OpByte(kind, k));
    const BlockRecord& top = state.BlockStack[static_cast<std::size_t>(k)].back();
    const std::size_t kept = pending_records.size();
    const std::size_t most = kMaxLoopRecordBytes + top.condition.size();
    if (kept + most > log.Limit()) {
      overflow = true;
      return;
    }
    pending_records.resize(kept + most);
    const unsigned char* end = PutLoopRecord(pending_records.data() + kept, top);
    pending_records.resize(static_cast<std::size_t>(end - pending_records.data()));
    ++pending_record_count;
  }
  void Log(unsigned char op) {
    if (pending_ops.size() >= log.Limit()) {
      overflow = true;
      return;
    }
    pending_ops.push_back(op);
  }
  bool Lost() const { return lost || log.Dropped() > 0; }

  // The step about to run: what it begins with, its logs emptied.
  void Open(bool mouse);
  // The step just run goes into the log, in its short record when it has one.
  void Keep() {
    unsigned char* const out = pending.mouse || !ShortStep() ? nullptr : log.Reserve(ShortBytes());
    if (out != nullptr) {
      PutShort<true>(out);
    } else {
      KeepLong();
    }
  }
  [[gnu::always_inline]] bool ShortStep() const;
  bool ShortOp() const;
  // What a short record of this step takes at most.
  std::size_t ShortBytes() const {
    return pending_ops.empty() ? kMaxShortBytes
                               : kMaxShortBytes + sizeof(std::uint64_t) + pending_records.size();
  }
  // With `op`, the step may have a stack op (Keep, which Open follows); without, it has
  // none, and the way needs no call.
  template <bool with_op>
  [[gnu::always_inline]] void PutShort(unsigned char* out);
  [[gnu::noinline]] void KeepLong();
  // What a long record's head holds besides the counts and the line: which of the step's
  // states before it are kept.
  struct LongHead {
    std::array<std::uint32_t, kCounts> counts{};
    bool wide = false;
    bool cursor = false;
    bool main_block_bytes = false;
    bool mouse_block_bytes = false;
    bool scale = false;
    bool colour = false;
    bool mouse_line = false;
  };
  unsigned char* PutLongHead(unsigned char* start, const LongHead& head);
  std::span<const int> Written() const { return {written_list.data(), written_count}; }
  void ForgetWrites() {
    for (const int j : Written()) written[static_cast<std::size_t>(j)] = false;
    written_count = 0;
  }
  void NextStep();
  [[gnu::noinline]] void NextStepAside();

  RunDebugger& debugger;
  VariableTable& variables;
  InterpreterState& state;
  DrawingState& drawing;
  StepLog log{kDefaultHistoryBytes};
  bool lost = false;  // older steps could not be kept (the log tells of those it dropped)
  int width = 0, height = 0;
  // The step being run, in buffers that keep their room from step to step.
  bool logging = false;   // its changes go to the history
  bool overflow = false;  // they would not fit
  Before pending;
  Scale pending_scale{};
  std::uint64_t pending_scale_changes = 0;     // DrawingState::ScaleChanges then
  Colour pending_colour = kBlack;              // DrawingState::DrawColour then
  std::vector<unsigned char> pending_ops;      // OpByte each
  std::vector<unsigned char> pending_records;  // as the log keeps them
  std::size_t pending_record_count = 0;
  std::vector<HistoryCanvas::PixelChange> pending_pixels;
  // The variables it wrote, each with its value before the first write.
  std::array<bool, kTableCapacity> written{};
  std::array<TComplex, kTableCapacity> first_old{};
  std::array<int, kTableCapacity> written_list{};  // the first written_count, in order
  std::size_t written_count = 0;
  std::vector<unsigned char> scratch;  // a long record's parts before and after its pixels
  std::vector<unsigned char> taken;    // the record a step back took
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
  bool chained = false;         // stepping, and no listener: a line needs nothing but NextStep
  std::int32_t begun_line = 0;  // where the batch's last step began, its LastLine
};

bool RunDebugger::Impl::WatchInputsChanged() {
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
  if (chained && k == MainProgram) return NextStep();
  return BeforeOtherStep(k);
}

void RunDebugger::Impl::BeforeOtherStep(int k) {
  if (batch && k == MainProgram) {
    if (stepping) {
      NextStep();
    } else {
      stepping = true;
      chained = !listener;
      begun_line = debugger.state_.CurrentLine[MainProgram];
      debugger.BeginStep();
    }
  }
  if (listener) Listen(k);
}

void RunDebugger::Impl::Listen(int k) {
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
      impl.chained = false;
      debugger.interpreter_.SetStepObserver(impl.listener ? &impl : nullptr);
    }
  } done{*this};
  skip_breakpoint_ = false;
  const RunOutcome outcome = control_.StepMain(budget);
  if (h.stepping) {
    last_line_ = ProgramLine{MainProgram, h.begun_line};
    EndStep(outcome);
  }
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

void RunDebugger::SetHistoryLimit(std::size_t bytes) { impl_->log.SetLimit(bytes); }

std::size_t RunDebugger::HistoryBytes() const { return impl_->log.Bytes(); }
std::size_t RunDebugger::HistorySteps() const { return impl_->log.Steps(); }

void RunDebugger::ForgetHistory() {
  Impl& h = *impl_;
  h.log.Clear();
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
  if (h.logging) h.Open(mouse);
}

void RunDebugger::EndRecord(bool keep) {
  Impl& h = *impl_;
  interpreter_.SetChangeObserver(nullptr);
  changed_.clear();
  for (const int j : h.Written()) {
    if (!SameBits(h.first_old[static_cast<std::size_t>(j)], project_.variables.CurrentValue(j))) {
      changed_.push_back(j);
    }
  }
  if (changed_.size() > 1) std::sort(changed_.begin(), changed_.end());
  if (h.logging) {
    h.logging = false;
    if (keep) h.Keep();
    canvas_->Record(nullptr);
  }
  h.ForgetWrites();
}

void RunDebugger::Impl::Open(bool mouse) {
  pending.line = state.CurrentLine;
  pending.cursor = state.ArgumentCursor;
  pending.block_bytes = {state.block_bytes[0], state.block_bytes[1]};
  pending.mouse = mouse;
  pending_scale = ScaleOf(drawing);
  pending_scale_changes = drawing.ScaleChanges();
  pending_colour = drawing.DrawColour();
  overflow = false;
  pending_ops.clear();
  pending_record_count = 0;
  pending_records.clear();
  pending_pixels.clear();
  debugger.canvas_->Record(&pending_pixels, log.Limit() / sizeof(HistoryCanvas::PixelChange));
}

// A main-program step that moved the main line, wrote at most kMaxShortWrites variables,
// pushed or popped at most one loop record of the main program and changed nothing else.
// The loop records' bytes change only with a push or a pop, which come with a stack op;
// a pixel log that overflowed has entries whenever the log has blocks (a short record
// needs them), and KeepLong sees it, as it sees a record too large to keep.
inline bool RunDebugger::Impl::ShortStep() const {
  const Before& b = pending;
  return pending_ops.size() <= 1 && pending_pixels.empty() && written_count <= kMaxShortWrites &&
         (b.cursor[0] | b.cursor[1]) == 0 && b.line[1] == state.CurrentLine[1] &&
         drawing.ScaleChanges() == pending_scale_changes &&
         drawing.DrawColour() == pending_colour && (pending_ops.empty() || ShortOp());
}

// The stack op of a short record: a push, or a pop with its record kept.
bool RunDebugger::Impl::ShortOp() const {
  const unsigned char op = pending_ops[0];
  return (op == OpByte(OpKind::Push, MainProgram) ||
          (op == OpByte(OpKind::Pop, MainProgram) && !overflow)) &&
         ShortBytes() <= StepLog::kMaxPacked;
}

// Written straight into the log's open block, at `out` (room for ShortBytes). Every
// part is written and those the step does not need are written over: the way through
// does not depend on what the step changed. The step's writes are forgotten, and the
// step after it begins where it ended.
template <bool with_op>
inline void RunDebugger::Impl::PutShort(unsigned char* const out) {
  unsigned line = 0;
  unsigned char* at = PutLine(out + 1, pending.line[0], state.CurrentLine[0], line);
  unsigned writes = 0;
  for (const int j : Written()) {
    const auto index = static_cast<std::size_t>(j);
    written[index] = false;
    unsigned forms = 0;
    unsigned char* const next = PutWrite(at, j, first_old[index], variables.CurrentValue(j), forms);
    const bool changed = forms != 0;
    at = changed ? next : at;
    writes += changed ? 1 : 0;
  }
  written_count = 0;
  unsigned op = 0;
  if (with_op && !pending_ops.empty()) {
    const auto kind = static_cast<OpKind>(pending_ops[0] & 3u);
    op = 1 + static_cast<unsigned>(kind);
    at = PutBytes(at, &pending.block_bytes[0], sizeof pending.block_bytes[0]);
    if (kind == OpKind::Pop) at = PutBytes(at, pending_records.data(), pending_records.size());
  }
  *out = static_cast<unsigned char>(line | writes << kWritesShift | op << kOpShift);
  log.Commit(static_cast<std::size_t>(at - out));
  pending.line = state.CurrentLine;
  pending.cursor = state.ArgumentCursor;
}

// Packed straight into the log's open block when the record is small enough, else put
// together beside it, its pixels taken from where they are.
unsigned char* RunDebugger::Impl::PutLongHead(unsigned char* const start, const LongHead& h) {
  const Before& b = pending;
  unsigned char* out = start + 2;
  for (const std::uint32_t count : h.counts) {
    if (h.wide) {
      out = PutBytes(out, &count, sizeof count);
    } else {
      *out++ = static_cast<unsigned char>(count);
    }
  }
  unsigned line = 0;
  out = PutLine(out, b.line[0], state.CurrentLine[0], line);
  start[0] = static_cast<unsigned char>(line | (b.mouse ? +kMouseStep : 0) | kMore);
  start[1] = static_cast<unsigned char>(
      (h.cursor ? +kCursorKept : 0) | (h.main_block_bytes ? +kMainBlockBytesKept : 0) |
      (h.mouse_block_bytes ? +kMouseBlockBytesKept : 0) | (h.scale ? +kScaleKept : 0) |
      (h.mouse_line ? +kMouseLineKept : 0) | (h.wide ? +kWideCounts : 0) |
      (h.colour ? +kColourKept : 0));
  if (h.cursor) out = PutBytes(out, b.cursor.data(), sizeof b.cursor);
  if (h.main_block_bytes) out = PutBytes(out, &b.block_bytes[0], sizeof b.block_bytes[0]);
  if (h.mouse_block_bytes) out = PutBytes(out, &b.block_bytes[1], sizeof b.block_bytes[1]);
  if (h.mouse_line) out = PutBytes(out, &b.line[1], sizeof b.line[1]);
  for (const int j : Written()) {
    const TComplex old = first_old[static_cast<std::size_t>(j)];
    const TComplex value = variables.CurrentValue(j);
    unsigned forms = 0;
    if (!SameBits(old, value)) out = PutWrite(out, j, old, value, forms);
  }
  if (!pending_ops.empty()) out = PutBytes(out, pending_ops.data(), pending_ops.size());
  return out;
}

void RunDebugger::Impl::KeepLong() {
  RunDebugger& d = debugger;
  const HistoryCanvas& canvas = *d.canvas_;
  if (!pending_pixels.empty() && (canvas.Width() != width || canvas.Height() != height)) {
    d.ForgetHistory();  // pixels are kept by their index in a picture of one size
  }
  if (overflow || canvas.Overflowed()) {
    // Too large for the history: neither it nor the steps before it can be undone.
    d.ForgetHistory();
    lost = true;
    return;
  }
  std::uint32_t writes = 0;
  for (const int j : Written()) {
    if (!SameBits(first_old[static_cast<std::size_t>(j)], variables.CurrentValue(j))) ++writes;
  }
  const Before& b = pending;
  LongHead h;
  h.counts = {writes, static_cast<std::uint32_t>(pending_ops.size()),
              static_cast<std::uint32_t>(pending_pixels.size()),
              static_cast<std::uint32_t>(pending_record_count)};
  h.wide = *std::max_element(h.counts.begin(), h.counts.end()) > 0xFF;
  h.cursor = b.cursor[0] != 0 || b.cursor[1] != 0;
  h.main_block_bytes = b.block_bytes[0] != state.block_bytes[0];
  h.mouse_block_bytes = b.block_bytes[1] != state.block_bytes[1];
  h.scale = !SameScale(pending_scale, ScaleOf(drawing));
  h.colour = pending_colour != drawing.DrawColour();
  h.mouse_line = b.line[1] != state.CurrentLine[1];
  const std::size_t head_most = 2 + kCounts * sizeof(std::uint32_t) + kMaxLineBytes +
                                sizeof b.cursor + sizeof b.block_bytes + sizeof b.line[1] +
                                written_count * kMaxWriteBytes + pending_ops.size();
  const std::size_t pixel_bytes = pending_pixels.size() * sizeof(HistoryCanvas::PixelChange);
  const std::size_t tail_most = sizeof(Scale) + sizeof(Colour) + pending_records.size();
  const auto put_head = [&](unsigned char* const start) { return PutLongHead(start, h); };
  const auto put_tail = [&](unsigned char* out) {
    if (h.scale) out = PutBytes(out, &pending_scale, sizeof pending_scale);
    if (h.colour) out = PutBytes(out, &pending_colour, sizeof pending_colour);
    if (!pending_records.empty())
      out = PutBytes(out, pending_records.data(), pending_records.size());
    return out;
  };
  const std::size_t most = head_most + pixel_bytes + tail_most;
  if (unsigned char* const start = most <= StepLog::kMaxPacked ? log.Reserve(most) : nullptr) {
    unsigned char* out = put_head(start);
    if (pixel_bytes > 0) out = PutBytes(out, pending_pixels.data(), pixel_bytes);
    log.Commit(static_cast<std::size_t>(put_tail(out) - start));
    return;
  }
  if (scratch.size() < head_most + tail_most) scratch.resize(head_most + tail_most);
  unsigned char* const head = scratch.data();
  unsigned char* const tail = head + head_most;
  const unsigned char* const head_end = put_head(head);
  const unsigned char* const tail_end = put_tail(tail);
  if (!log.Add({{head, static_cast<std::size_t>(head_end - head)},
                {pending_pixels.data(), pixel_bytes},
                {tail, static_cast<std::size_t>(tail_end - tail)}})) {
    // Too large for the history: neither it nor the steps before it can be undone.
    d.ForgetHistory();
    lost = true;
  }
}

// In a batch, before a main-program line that follows another: the step before ends and
// this line's begins, as EndStep and BeginStep would do them, but the changed variables
// are left to the batch's last step, the only one that tells them. Most lines take the
// way of a short step into the open block, without a call that returns; the others go
// aside.
void RunDebugger::Impl::NextStep() {
  RunDebugger& d = debugger;
  ++d.steps_;
  begun_line = state.CurrentLine[MainProgram];
  if (!logging) {
    ForgetWrites();
  } else if (unsigned char* const out = pending_ops.empty() && ShortStep()
                                            ? log.ReserveInOpenBlock(kMaxShortBytes)
                                            : nullptr) {
    PutShort<false>(out);
  } else {
    return NextStepAside();
  }
  if (!d.watches_.empty()) d.EvaluateWatches();
}

void RunDebugger::Impl::NextStepAside() {
  Keep();
  ForgetWrites();
  if (!debugger.watches_.empty()) debugger.EvaluateWatches();
  Open(false);
}

std::optional<std::string> RunDebugger::StepBack() {
  Sync();
  Impl& h = *impl_;
  if (State() != DebugState::Paused) return std::string(kStepBackNotPaused);
  if (h.log.Steps() == 0) return std::string(h.Lost() ? kHistoryExhausted : kHistoryEmpty);
  if (canvas_->Width() != h.width || canvas_->Height() != h.height) {
    ForgetHistory();
    h.lost = true;
    return std::string(kHistoryExhausted);
  }
  std::vector<unsigned char>& record = h.taken;
  h.log.TakeNewest(record);
  const unsigned char* at = record.data();
  const std::uint8_t head = *at++;
  const std::uint8_t more = (head & Impl::kMore) != 0 ? *at++ : 0;
  std::array<std::uint32_t, Impl::kCounts> counts{};
  const unsigned short_op = (head & Impl::kMore) == 0 ? head >> Impl::kOpShift : 0;
  if ((head & Impl::kMore) == 0) {
    counts[Impl::kWrites] = (head >> Impl::kWritesShift) & 3u;
  } else {
    for (std::uint32_t& count : counts) {
      if ((more & Impl::kWideCounts) != 0) {
        Impl::GetBytes(at, &count, sizeof count);
      } else {
        count = *at++;
      }
    }
  }
  Impl::Before before;
  before.line = {Impl::GetLine(at, head, state_.CurrentLine[0]), state_.CurrentLine[1]};
  if ((more & Impl::kCursorKept) != 0)
    Impl::GetBytes(at, before.cursor.data(), sizeof before.cursor);
  std::array<std::size_t, 2> block_bytes = state_.block_bytes;
  for (const int slot : {MainProgram, MouseHandlerProgram}) {
    const auto kept = slot == MainProgram ? Impl::kMainBlockBytesKept : Impl::kMouseBlockBytesKept;
    if ((more & kept) == 0) continue;
    std::uint64_t bytes = 0;
    Impl::GetBytes(at, &bytes, sizeof bytes);
    block_bytes[static_cast<std::size_t>(slot)] = static_cast<std::size_t>(bytes);
  }
  if ((more & Impl::kMouseLineKept) != 0) {
    Impl::GetBytes(at, &before.line[1], sizeof before.line[1]);
  }
  // A step changes each variable once, as a whole: the writes come back in any order.
  std::vector<int> written(counts[Impl::kWrites]);
  for (int& variable : written) {
    variable = *at++;
    const unsigned halves = *at++;  // the forms of the two halves
    const TComplex now = project_.variables.CurrentValue(variable);
    const double re = Impl::GetHalf(at, halves, now.Re);
    const double im = Impl::GetHalf(at, halves >> 2, now.Im);
    project_.variables.SetCurrentValue(variable, {re, im});
  }
  const unsigned char* ops = at;
  at += counts[Impl::kOps];
  std::vector<BlockRecord> records;
  unsigned char op = 0;
  if (short_op != 0) {
    const auto kind = static_cast<Impl::OpKind>(short_op - 1);
    op = Impl::OpByte(kind, MainProgram);
    ops = &op;
    counts[Impl::kOps] = 1;
    std::uint64_t bytes = 0;
    Impl::GetBytes(at, &bytes, sizeof bytes);
    block_bytes[MainProgram] = static_cast<std::size_t>(bytes);
    if (kind == Impl::OpKind::Pop) records.push_back(Impl::GetLoopRecord(at));
  }
  const unsigned char* const pixels = at;
  at += std::size_t{counts[Impl::kPixels]} * sizeof(HistoryCanvas::PixelChange);
  const bool scale = (more & Impl::kScaleKept) != 0;
  Scale old_scale{};
  if (scale) Impl::GetBytes(at, &old_scale, sizeof old_scale);
  std::optional<Colour> old_colour;
  if ((more & Impl::kColourKept) != 0) Impl::GetBytes(at, &old_colour.emplace(), sizeof(Colour));
  for (std::uint32_t i = 0; i < counts[Impl::kRecords]; ++i) {
    records.push_back(Impl::GetLoopRecord(at));
  }

  // Pixels and stack ops newest first: a pixel a step changed twice gets its colour from
  // before the first change.
  const auto width = static_cast<std::uint32_t>(h.width);
  canvas_->Record(nullptr);
  for (std::uint32_t i = counts[Impl::kPixels]; i-- > 0;) {
    HistoryCanvas::PixelChange p;
    std::memcpy(&p, pixels + std::size_t{i} * sizeof p, sizeof p);
    canvas_->SetPixel(static_cast<int>(p.index % width), static_cast<int>(p.index / width),
                      p.old_colour);
  }
  if (scale) {
    drawing_.SetScale(old_scale.re_min, old_scale.re_max, old_scale.im_min, old_scale.im_max);
  }
  if (old_colour) drawing_.SetDrawColour(*old_colour);
  for (std::uint32_t i = counts[Impl::kOps]; i-- > 0;) {
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
  state_.CurrentLine = before.line;
  state_.ArgumentCursor = before.cursor;
  state_.block_bytes = block_bytes;
  std::sort(written.begin(), written.end());
  changed_ = std::move(written);
  if ((head & Impl::kMouseStep) == 0) --steps_;
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

// Apart from the steps of a batch, which only ask whether there are watches.
[[gnu::noinline]] void RunDebugger::EvaluateWatches() {
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
