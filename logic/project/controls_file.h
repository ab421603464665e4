// Controls: a slider for a real start value or a point on the picture for a complex one,
// bound to a variable by its name, and the side file beside the project that holds them
// ("PROJEKT.omp.regler"), so that the project file itself stays as it is.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "logic/evaluator/evaluate.h"
#include "logic/program/project_content.h"
#include "logic/project/file_store.h"
#include "logic/project/project_file.h"

namespace ombrix {

enum class ControlKind { Slider, Point };

struct Control {
  ControlKind kind = ControlKind::Slider;
  std::string variable;  // Windows-1252, as the variable table spells it
  // Sliders only: the range and the step, evaluated once when the slider was set.
  double minimum = 0;
  double maximum = 1;
  double step = 1;
};

struct ControlSet {
  std::vector<Control> controls;
  bool live = false;  // every change restarts the main program
  bool Empty() const { return controls.empty(); }
};

// More positions than this make a slider that no hand can move by one step.
inline constexpr double kMaxSliderPositions = 1000000;
// One control per variable, and the three constants get none: more controls than this
// could never all have a variable. A side file with more is refused.
inline constexpr std::size_t kMaxControls = kTableCapacity - 3;
inline constexpr std::uintmax_t kMaxControlsFileSize = 1024 * 1024;
inline constexpr const char* kControlsFileSuffix = ".regler";

// A slider's positions are 0 .. SliderPositions; position k stands for minimum + k * step,
// the last one for at most maximum.
int SliderPositions(const Control& slider);
double SliderValue(const Control& slider, int position);
// The position nearest to `value`, within the slider's range.
int SliderPosition(const Control& slider, double value);

// Why a slider with this range cannot be made (German, Windows-1252), or nothing.
[[nodiscard]] std::optional<std::string> CheckSliderRange(double minimum, double maximum,
                                                          double step);
// A slider from three terms, each evaluated once now; or the German reason it is refused.
struct SliderTerms {
  std::string minimum, maximum, step;
};
[[nodiscard]] std::optional<std::string> MakeSlider(const std::string& variable,
                                                    const SliderTerms& terms,
                                                    const EvalContext& context, Control& slider);

// The entry of the variable in the table (names compared as terms compare them), or -1.
int ControlVariable(const VariableTable& variables, const Control& control);
// Why `variable` cannot get a control (a constant "i", "e" or "Pi", an unknown name, a name
// the side file cannot hold, one that has a control already, all controls taken), or
// nothing. The side file's reader refuses the same names.
[[nodiscard]] std::optional<std::string> CheckControlVariable(const VariableTable& variables,
                                                              const ControlSet& set,
                                                              const std::string& name);

// The side file's text, and reading it back: all of it, or nothing with the reason. Every
// text the reader takes is written back as it reads again. Linear in the text's length.
std::string ControlsToText(const ControlSet& set);
[[nodiscard]] std::optional<std::string> ControlsFromText(std::string_view text, ControlSet& set);

std::filesystem::path ControlsFilePath(const std::filesystem::path& project_file);

// The controls beside `project_file`: none when there is no side file; a broken one
// gives none and the message to show (the project itself is not affected).
struct LoadedControls {
  ControlSet set;
  std::optional<std::string> message;
};
LoadedControls LoadControls(const std::filesystem::path& project_file, const FileStore& files);
// The same for the side file's bytes already read (`file` names it in the message).
LoadedControls ControlsFromBytes(std::string_view bytes, const std::filesystem::path& file);

// Saves the project and its side file together (FileStore::ReplaceTogether): a save that
// fails changes neither; the side file is removed when there are no controls, so that a
// project never meets the controls of another.
[[nodiscard]] std::optional<ProjectError> SaveProjectAndControls(const ProjectContent& project,
                                                                 const ControlSet& set,
                                                                 const std::filesystem::path& file,
                                                                 const FileStore& files);

}  // namespace ombrix
