// The functions the page's worker calls (web/page/worker.js): a session it creates and
// deletes, its texts as UTF-8 strings that live until the next call on the session.
#include <emscripten.h>

#include <cstdint>
#include <string>

#include "logic/complex/num_text.h"
#include "web/web_session.h"

using ombrix::web::WebSession;

namespace {

// A session with the text its last call returned.
struct Handle {
  WebSession session;
  std::string text;
};

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE Handle* ombrix_session_new() { return new Handle; }
EMSCRIPTEN_KEEPALIVE void ombrix_session_delete(Handle* h) { delete h; }
EMSCRIPTEN_KEEPALIVE void ombrix_set_decimal_separator(int separator) {
  ombrix::SetDecimalSeparator(separator == ',' ? ',' : '.');
}
EMSCRIPTEN_KEEPALIVE const char* ombrix_session_open(Handle* h, const char* bytes, int size) {
  h->text = h->session.Open(std::string_view(bytes, static_cast<std::size_t>(size)));
  return h->text.c_str();
}
EMSCRIPTEN_KEEPALIVE void ombrix_session_start(Handle* h) { h->session.Start(); }
EMSCRIPTEN_KEEPALIVE void ombrix_session_stop(Handle* h) { h->session.Stop(); }
EMSCRIPTEN_KEEPALIVE int ombrix_session_slice(Handle* h, double milliseconds) {
  return static_cast<int>(h->session.Slice(milliseconds));
}
EMSCRIPTEN_KEEPALIVE void ombrix_session_press(Handle* h, int x, int y) { h->session.Press(x, y); }
EMSCRIPTEN_KEEPALIVE void ombrix_session_move(Handle* h, int x, int y) { h->session.Move(x, y); }
EMSCRIPTEN_KEEPALIVE void ombrix_session_release(Handle* h) { h->session.Release(); }
EMSCRIPTEN_KEEPALIVE const std::uint8_t* ombrix_session_rgba(Handle* h) {
  return h->session.Rgba();
}
EMSCRIPTEN_KEEPALIVE double ombrix_session_picture_changes(Handle* h) {
  return static_cast<double>(h->session.PictureChanges());
}
EMSCRIPTEN_KEEPALIVE const char* ombrix_session_boxes(Handle* h) {
  h->text = h->session.TakeBoxes();
  return h->text.c_str();
}

}  // extern "C"
