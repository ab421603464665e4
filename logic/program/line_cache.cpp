#include "logic/program/line_cache.h"

#include <limits>

namespace ombrix {

void LineCache::Fit(int k) { slots_[k].resize(programs_[k].size()); }

void LineCache::Refresh(LineSlot& slot, const std::string& line) {
  if (!slot.known || !SameText(slot.text, line)) Fill(slot, line);
  slot.checked = epoch_;
}

LineSlot* LineCache::At(int k, std::int32_t n) {
  std::vector<LineSlot>& slots = slots_[k];
  const ProgramText& program = programs_[k];
  if (!on_ || n < 0 || static_cast<std::size_t>(n) >= slots.size() ||
      static_cast<std::size_t>(n) >= program.size()) {
    return nullptr;
  }
  LineSlot& slot = slots[static_cast<std::size_t>(n)];
  const std::string& line = program[static_cast<std::size_t>(n)];
  if (!slot.known || !SameText(slot.text, line)) [[unlikely]]
    Fill(slot, line);
  return &slot;
}

void LineCache::Fill(LineSlot& slot, const std::string& line) {
  slot = LineSlot{};
  slot.text = line;
  slot.known = true;
  slot.fill = ++fills_;
  slot.form = ReadLineForm(line);
  // Positions beyond 32 bits are left to the texts.
  if (line.size() >= std::numeric_limits<std::uint32_t>::max()) return;
  std::array<TermSpan, LineSlot::kMaxArguments> spans{};
  const std::size_t count = LineArguments(line, slot.form, spans);
  for (std::size_t i = 0; i < count; ++i) {
    slot.terms[i] = {
        static_cast<std::uint32_t>(spans[i].start), static_cast<std::uint32_t>(spans[i].end), {}};
  }
  // The right-hand side of an assignment is no argument: it ends with the line.
  if (slot.form.assign == std::string::npos) slot.argument_count = static_cast<std::uint8_t>(count);
}

LineForm LineCache::FormAt(int k, std::int32_t n) {
  if (const LineSlot* slot = At(k, n)) return slot->form;
  return ReadLineForm(programs_[k][static_cast<std::size_t>(n)]);
}

LineForm LineCache::FormOf(int k, std::int32_t n) const {
  if (k != MainProgram && k != MouseHandlerProgram) return {};
  const ProgramText& program = programs_[k];
  if (n < 0 || static_cast<std::size_t>(n) >= program.size()) return {};
  const std::string& line = program[static_cast<std::size_t>(n)];
  const std::vector<LineSlot>& slots = slots_[k];
  if (static_cast<std::size_t>(n) < slots.size()) {
    const LineSlot& slot = slots[static_cast<std::size_t>(n)];
    if (slot.known && SameText(slot.text, line)) return slot.form;
  }
  return ReadLineForm(line);
}

bool LineCache::Unchanged(int k, std::int32_t from, std::int32_t to, std::uint64_t fills) {
  const ProgramText& program = programs_[k];
  std::vector<LineSlot>& slots = slots_[k];
  if (to < from || static_cast<std::size_t>(to) >= program.size() ||
      static_cast<std::size_t>(to) >= slots.size()) {
    return false;
  }
  for (auto n = static_cast<std::size_t>(from) + 1; n <= static_cast<std::size_t>(to); ++n) {
    LineSlot& slot = slots[n];
    if (slot.checked != epoch_) {
      if (!slot.known || !SameText(slot.text, program[n])) return false;
      slot.checked = epoch_;
    }
    if (slot.fill > fills) return false;
  }
  return true;
}

PlanHandle* LineCache::ConditionPlan(int k, std::int32_t start_line, std::string_view condition) {
  std::vector<LineSlot>& slots = slots_[k];
  if (!on_ || start_line < 0 || static_cast<std::size_t>(start_line) >= slots.size()) {
    return nullptr;
  }
  LineSlot& opening = slots[static_cast<std::size_t>(start_line)];
  if (!opening.known || opening.argument_count == 0) return nullptr;
  LineSlot::Term& first = opening.terms[0];
  const std::string_view text =
      std::string_view(opening.text).substr(first.start, first.end - first.start);
  return SameText(text, condition) ? &first.plan : nullptr;
}

}  // namespace ombrix
