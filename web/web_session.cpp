#include "web/web_session.h"

#include <chrono>

#include "logic/complex/cp1252.h"
#include "logic/complex/fault.h"
#include "logic/project/project_file.h"

namespace ombrix::web {

void WebSession::CollectedBoxes::Show(MessageKind kind, const std::string& text,
                                      const std::string& title) {
  std::string line =
      std::to_string(static_cast<int>(kind)) + '\t' + MessageTitle(kind, title) + '\t';
  for (const char c : text) line += c == '\n' ? std::string("\\n") : std::string(1, c);
  lines += Cp1252ToUtf8(line) + '\n';
}

bool WebSession::CollectedBoxes::Confirm(const std::string& text) {
  Show(MessageKind::Plain, text, kConfirmationTitle);
  return true;
}

WebSession::WebSession()
    : interpreter_(project_, drawing_, picture_, boxes_, flags_, state_),
      run_(interpreter_, project_, drawing_, flags_, state_) {
  drawing_.AttachPicture(&picture_);
}

template <class Action>
void WebSession::Guarded(Action&& action) {
  try {
    action();
  } catch (const Fault& fault) {
    boxes_.Show(MessageKind::Fault, FaultDisplayText(fault.what()), kApplicationTitle);
  }
}

std::string WebSession::Open(std::string_view bytes) {
  ProjectContent loaded;
  if (const auto error = LoadProjectFromBytes(loaded, bytes)) {
    return Cp1252ToUtf8(error->fault ? FaultDisplayText(error->message) : error->message);
  }
  run_.SwitchOffBoth();
  project_ = std::move(loaded);
  run_.ResetCounters();
  return "";
}

void WebSession::Start() {
  Guarded([this] { run_.Start(); });
}

void WebSession::Stop() { run_.Stop(); }

SliceState WebSession::Slice(double milliseconds) {
  if (!run_.MainRunning()) return SliceState::kIdle;
  RunOutcome outcome = RunOutcome::Running;
  Guarded([&] {
    StepBudget budget;
    budget.time = std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::duration<double, std::milli>(milliseconds));
    outcome = run_.StepMain(budget);
  });
  switch (outcome) {
    case RunOutcome::Ended:
      run_.FinishMain();
      return SliceState::kEnded;
    case RunOutcome::Failed:
      run_.AfterFailure();
      return SliceState::kFailed;
    case RunOutcome::Running:
      break;
  }
  return run_.MainRunning() ? SliceState::kRunning : SliceState::kIdle;
}

void WebSession::RunMouseProgramIfDue() {
  if (run_.MouseProgramDue() && run_.RunMouseProgram() == RunOutcome::Failed) {
    run_.AfterFailure();
  }
}

void WebSession::Press(int x, int y) {
  run_.PressMouse();
  Move(x, y);
}

void WebSession::Move(int x, int y) {
  Guarded([&] {
    run_.MoveMouse(x, y);
    RunMouseProgramIfDue();
  });
}

void WebSession::Release() { run_.ReleaseMouse(); }

const std::uint8_t* WebSession::Rgba() {
  const std::vector<Colour>& pixels = picture_.Pixels();
  rgba_.resize(pixels.size() * 4);
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    rgba_[4 * i] = static_cast<std::uint8_t>(pixels[i] >> 16);
    rgba_[4 * i + 1] = static_cast<std::uint8_t>(pixels[i] >> 8);
    rgba_[4 * i + 2] = static_cast<std::uint8_t>(pixels[i]);
    rgba_[4 * i + 3] = 0xFF;
  }
  return rgba_.data();
}

std::string WebSession::TakeBoxes() {
  std::string lines;
  lines.swap(boxes_.lines);
  return lines;
}

}  // namespace ombrix::web
