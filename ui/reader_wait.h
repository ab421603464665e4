// Waiting with the window alive: the event loop turns, so the window repaints, while the
// user's input is held back; Escape, "Abbrechen" (F2) and closing the window ask to stop.
// The metafile reader's load and a long mouse-click run wait so.
#pragma once

#include <QObject>
#include <memory>

#include "platform/metafile.h"

class QWidget;

namespace ombrix {

// For as long as it lives: a busy cursor, and no input reaches the application but the
// stop keys and what a box or dialog opened meanwhile needs. A dialog open when the hold
// began is held as the window is.
class WindowHold final : public QObject {
 public:
  explicit WindowHold(QWidget& window);
  ~WindowHold() override;
  WindowHold(const WindowHold&) = delete;
  WindowHold& operator=(const WindowHold&) = delete;

  // The window's pending events, now.
  void Turn();

  bool Abandoned() const { return abandoned_; }
  // "Abbrechen" (F2) was pressed; Escape and closing only stop the wait.
  bool AbbrechenAsked() const { return abbrechen_asked_; }
  // The window was asked to close; it closes once the wait has ended.
  bool CloseAsked() const { return close_asked_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget& window_;
  QWidget* dialog_;  // the modal dialog open when the hold began, if any
  bool abandoned_ = false;
  bool abbrechen_asked_ = false;
  bool close_asked_ = false;
};

// A mouse-click run that takes long, inside its one mouse event: from its first turn on
// the window is held as above.
class ClickRunWait {
 public:
  explicit ClickRunWait(QWidget& window) : window_(window) {}
  // The window's pending events; true when Escape, "Abbrechen" or closing ends the run.
  bool Turn();
  // A box opens: it takes its answer as any box does.
  void Release() { hold_.reset(); }
  // What the run was asked while it took long, as it ends (the hold ends with it).
  struct Asked {
    bool held = false;       // it took long: the button's release may have been held back
    bool abbrechen = false;  // "Abbrechen" (F2): the main program stops too
    bool close = false;      // the window is to close
  };
  Asked End();

 private:
  QWidget& window_;
  std::unique_ptr<WindowHold> hold_;
};

class WindowReaderWait final : public ReaderWait {
 public:
  // For the time of one load of a picture into `window`.
  explicit WindowReaderWait(QWidget& window) : hold_(window) {}

  // A negative `fd`: only the time, while the reader ends after its answer.
  bool Wait(int fd, int milliseconds) override;

  bool Abandoned() const { return hold_.Abandoned(); }
  bool CloseAsked() const { return hold_.CloseAsked(); }

 private:
  WindowHold hold_;
};

}  // namespace ombrix
