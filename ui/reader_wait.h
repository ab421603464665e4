// Waiting for the metafile reader with the window alive: the event loop turns, so the
// window repaints, while the user's input is held back; Escape, "Abbrechen" (F2) and
// closing the window stop the load.
#pragma once

#include <QObject>

#include "platform/metafile.h"

class QWidget;

namespace ombrix {

class WindowReaderWait final : public QObject, public ReaderWait {
 public:
  // For the time of one load of a picture into `window`.
  explicit WindowReaderWait(QWidget& window);
  ~WindowReaderWait() override;
  WindowReaderWait(const WindowReaderWait&) = delete;
  WindowReaderWait& operator=(const WindowReaderWait&) = delete;

  bool Wait(int fd, int milliseconds) override;

  bool Abandoned() const { return abandoned_; }
  // The window was asked to close during the load; it closes once the load has ended.
  bool CloseAsked() const { return close_asked_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget& window_;
  bool abandoned_ = false;
  bool close_asked_ = false;
};

}  // namespace ombrix
