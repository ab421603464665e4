// The graphics commands: their words in table order, how many arguments each reads, and
// carrying one out on the drawing state and the canvas.
#pragma once

#include <array>
#include <optional>

#include "logic/complex/complex.h"
#include "logic/evaluator/error_codes.h"
#include "logic/program/canvas.h"
#include "logic/program/drawing_state.h"

namespace ombrix {

// The command words in the order of CommandWords (commands.cpp checks it).
enum class Command {
  SetzeSkala,
  LoescheBild,
  SetzeFarbe,
  ZeichnePunkt,
  LoeschePunkt,
  ZeichneLinie,
  LoescheLinie,
  ZeichneKreis,
  LoescheKreis,
  ZeichneSkala,
};
inline constexpr int kCommandCount = 10;
// "SetzeSkala", "LöscheBild", "SetzeFarbe", "ZeichnePunkt", "LöschePunkt",
// "ZeichneLinie", "LöscheLinie", "ZeichneKreis", "LöscheKreis", "ZeichneSkala"
extern const std::array<const char*, kCommandCount> CommandWords;

// How many arguments command `number` reads; text after them on the line is ignored.
int CommandArgumentCount(int number);
// The most any command reads.
inline constexpr int kMaxCommandArguments = 4;

// Carries out command `number` with its arguments; the error code when it refuses them.
[[nodiscard]] std::optional<ErrorCode> PerformCommand(int number, const TComplex* arguments,
                                                      DrawingState& drawing, Canvas& canvas);

}  // namespace ombrix
