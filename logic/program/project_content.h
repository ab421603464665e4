// Everything a project file holds: both tables and both programs.
#pragma once

#include <array>

#include "logic/evaluator/tables.h"
#include "logic/program/program_text.h"

namespace ombrix {

struct ProjectContent {
  FunctionTable functions;
  VariableTable variables;
  std::array<ProgramText, 2> programs;

  // "Neues Projekt": tables to their initial content, both programs empty. Current
  // variable values stay as they are.
  void Reset() {
    functions.Reset();
    variables.Reset();
    for (auto& p : programs) p.clear();
  }
};

}  // namespace ombrix
