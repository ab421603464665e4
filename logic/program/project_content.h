// Everything a project file holds: both tables and both programs.
#pragma once

#include <array>

#include "logic/evaluator/tables.h"
#include "logic/program/program_text.h"

namespace ombrix {

struct ProjectContent {
  FunctionTable Functions;
  VariableTable Variables;
  std::array<ProgramText, 2> Programs;

  // "Neues Projekt": tables to their initial content, both programs empty. Current
  // variable values stay as they are.
  void Reset() {
    Functions.Reset();
    Variables.Reset();
    for (auto& p : Programs) p.clear();
  }
};

}  // namespace ombrix
