// The functions the page's worker calls (web/page/worker.js): a session it creates and
// deletes, the slices and the picture on their own, and every other call of the session
// by its name through ombrix_call. Answers live until the next call on the session.
#include <emscripten.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "logic/complex/num_text.h"
#include "web/web_session.h"

using ombrix::web::WebSession;

namespace {

// A session with the answer its last call gave.
struct Handle {
  WebSession session;
  std::string answer;
};

// A call's arguments: each its bytes (texts UTF-8, numbers in decimal).
class Args {
 public:
  Args(const unsigned char* bytes, int size) {
    std::size_t at = 0;
    const auto total = static_cast<std::size_t>(size);
    while (at + 4 <= total) {
      std::uint32_t length = 0;
      std::memcpy(&length, bytes + at, 4);  // little endian, as WebAssembly is
      at += 4;
      if (length > total - at) break;
      items_.emplace_back(reinterpret_cast<const char*>(bytes + at), length);
      at += length;
    }
  }
  std::string_view Text(std::size_t i) const { return i < items_.size() ? items_[i] : ""; }
  int Int(std::size_t i) const {
    long long value = 0;
    bool negative = false;
    for (const char c : Text(i)) {
      if (c == '-') negative = true;
      if (c >= '0' && c <= '9' && value < 1000000000) value = value * 10 + (c - '0');
    }
    return static_cast<int>(negative ? -value : value);
  }
  bool Bool(std::size_t i) const { return Int(i) != 0; }

 private:
  std::vector<std::string_view> items_;
};

using Call = std::function<std::string(WebSession&, const Args&)>;

std::string Done() { return ""; }
std::string Number(long long n) { return std::to_string(n); }

const std::map<std::string_view, Call>& Calls() {
  static const std::map<std::string_view, Call> calls = {
      {"newProject", [](WebSession& s, const Args&) { return s.NewProject(), Done(); }},
      {"open",
       [](WebSession& s, const Args& a) {
         bool converted = false;
         const std::string error = s.Open(a.Text(0), a.Text(1), converted);
         return (converted ? "1" : "0") + error;
       }},
      {"save",
       [](WebSession& s, const Args&) {
         std::string bytes;
         const std::string error = s.Save(bytes);
         return error.empty() ? "1" + bytes : "0" + error;
       }},
      {"openControls",
       [](WebSession& s, const Args& a) { return s.OpenControls(a.Text(0), a.Text(1)); }},
      {"controlsBytes", [](WebSession& s, const Args&) { return s.ControlsBytes(); }},
      {"document", [](WebSession& s, const Args&) { return s.Document(); }},
      {"vocabulary", [](WebSession&, const Args&) { return WebSession::Vocabulary(); }},
      {"checkNewName",
       [](WebSession& s, const Args& a) {
         return Number(static_cast<int>(s.CheckNewName(a.Bool(0), a.Text(1))));
       }},
      {"addFunction",
       [](WebSession& s, const Args& a) { return s.AddFunction(a.Text(0)), Done(); }},
      {"deleteFunction",
       [](WebSession& s, const Args& a) { return s.DeleteFunction(a.Int(0)), Done(); }},
      {"setFunctionTerm",
       [](WebSession& s, const Args& a) { return s.SetFunctionTerm(a.Int(0), a.Text(1)), Done(); }},
      {"addVariable",
       [](WebSession& s, const Args& a) { return s.AddVariable(a.Text(0)), Done(); }},
      {"deleteVariable",
       [](WebSession& s, const Args& a) { return s.DeleteVariable(a.Int(0)), Done(); }},
      {"setVariableValue",
       [](WebSession& s, const Args& a) { return s.SetVariableValue(a.Int(0), a.Text(1)); }},
      {"setProgram",
       [](WebSession& s, const Args& a) { return Number(s.SetProgram(a.Int(0), a.Text(1))); }},
      {"editorText", [](WebSession& s, const Args& a) { return s.EditorText(a.Int(0)); }},
      {"format", [](WebSession& s, const Args& a) { return s.Format(a.Text(0)); }},
      {"start", [](WebSession& s, const Args& a) { return s.Start(a.Bool(0)), Done(); }},
      {"stop", [](WebSession& s, const Args&) { return s.Stop(), Done(); }},
      {"switchOffBoth", [](WebSession& s, const Args&) { return s.SwitchOffBoth(), Done(); }},
      {"setMouseProgram",
       [](WebSession& s, const Args& a) { return s.SetMouseProgramEnabled(a.Bool(0)), Done(); }},
      {"singleStep",
       [](WebSession& s, const Args&) { return Number(static_cast<int>(s.SingleStep())); }},
      {"stepBack", [](WebSession& s, const Args&) { return s.StepBack(), Done(); }},
      {"continue", [](WebSession& s, const Args&) { return s.Continue(), Done(); }},
      {"press", [](WebSession& s, const Args& a) { return s.Press(a.Int(0), a.Int(1)), Done(); }},
      {"move", [](WebSession& s, const Args& a) { return s.Move(a.Int(0), a.Int(1)), Done(); }},
      {"release", [](WebSession& s, const Args&) { return s.Release(), Done(); }},
      {"status", [](WebSession& s, const Args&) { return s.Status(); }},
      {"setRunWindowOpen",
       [](WebSession& s, const Args& a) { return s.SetRunWindowOpen(a.Bool(0)), Done(); }},
      {"toggleBreakpoint",
       [](WebSession& s, const Args& a) { return s.ToggleBreakpoint(a.Int(0)), Done(); }},
      {"setWatch",
       [](WebSession& s, const Args& a) { return s.SetWatch(a.Int(0), a.Text(1)), Done(); }},
      {"setWatchStop",
       [](WebSession& s, const Args& a) { return s.SetWatchStop(a.Int(0), a.Bool(1)), Done(); }},
      {"setTempo", [](WebSession& s, const Args& a) { return s.SetTempo(a.Int(0)), Done(); }},
      {"debugView", [](WebSession& s, const Args&) { return s.DebugView(); }},
      {"addSlider",
       [](WebSession& s, const Args& a) {
         return s.AddSlider(a.Text(0), a.Text(1), a.Text(2), a.Text(3));
       }},
      {"addPoint", [](WebSession& s, const Args& a) { return s.AddPoint(a.Text(0)); }},
      {"removeControl",
       [](WebSession& s, const Args& a) { return s.RemoveControl(a.Int(0)), Done(); }},
      {"setLive", [](WebSession& s, const Args& a) { return s.SetLive(a.Bool(0)), Done(); }},
      {"setSliderPosition",
       [](WebSession& s, const Args& a) {
         return s.SetSliderPosition(a.Int(0), a.Int(1)), Done();
       }},
      {"grabHandle",
       [](WebSession& s, const Args& a) { return Number(s.GrabHandle(a.Int(0), a.Int(1))); }},
      {"dragHandleTo",
       [](WebSession& s, const Args& a) { return Number(s.DragHandleTo(a.Int(0), a.Int(1))); }},
      {"moveHandle",
       [](WebSession& s, const Args& a) {
         return Number(s.MoveHandle(a.Int(0), a.Int(1), a.Int(2)));
       }},
      {"loadPicture",
       [](WebSession& s, const Args& a) {
         return s.LoadPicture(a.Text(0), a.Int(1), a.Int(2)), Done();
       }},
      {"svgNeeds", [](WebSession& s, const Args&) { return Number(s.SvgNeeds()); }},
      {"svg", [](WebSession& s, const Args& a) { return s.Svg(a.Text(0), a.Text(1)); }},
  };
  return calls;
}

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE Handle* ombrix_session_new() { return new Handle; }
EMSCRIPTEN_KEEPALIVE void ombrix_session_delete(Handle* h) { delete h; }
EMSCRIPTEN_KEEPALIVE void ombrix_set_decimal_separator(int separator) {
  ombrix::SetDecimalSeparator(separator == ',' ? ',' : '.');
}
// The call `name` with its arguments (each a 32-bit length and its bytes): the answer's
// bytes, ombrix_answer_size of them. An unknown name answers "?".
EMSCRIPTEN_KEEPALIVE const char* ombrix_call(Handle* h, const char* name, const unsigned char* args,
                                             int size) {
  const auto& calls = Calls();
  const auto found = calls.find(name);
  h->answer = found == calls.end() ? std::string("?") : found->second(h->session, Args(args, size));
  return h->answer.data();
}
EMSCRIPTEN_KEEPALIVE int ombrix_answer_size(Handle* h) {
  return static_cast<int>(h->answer.size());
}
EMSCRIPTEN_KEEPALIVE int ombrix_session_slice(Handle* h, double milliseconds) {
  return static_cast<int>(h->session.Slice(milliseconds));
}
EMSCRIPTEN_KEEPALIVE const std::uint8_t* ombrix_session_rgba(Handle* h) {
  return h->session.Rgba();
}
EMSCRIPTEN_KEEPALIVE int ombrix_session_width(Handle* h) { return h->session.Width(); }
EMSCRIPTEN_KEEPALIVE int ombrix_session_height(Handle* h) { return h->session.Height(); }
EMSCRIPTEN_KEEPALIVE double ombrix_session_picture_changes(Handle* h) {
  return static_cast<double>(h->session.PictureChanges());
}
EMSCRIPTEN_KEEPALIVE const char* ombrix_session_boxes(Handle* h) {
  h->answer = h->session.TakeBoxes();
  return h->answer.c_str();
}

}  // extern "C"
