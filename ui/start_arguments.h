// What "ombrix [PROJEKT.omp]" was asked for on its command line.
#pragma once

#include <QString>
#include <QStringList>

namespace ombrix {

struct StartRequest {
  enum Kind {
    Window,   // start the window, with `project` opened when it is not empty
    Help,     // print `message` (the usage) and end
    Refused,  // print `message` on stderr and end with status 2
  };
  Kind kind = Window;
  QString project;  // absolute path
  QString message;
};

// `arguments` without the program's name and without the options Qt took for itself.
StartRequest ReadStartArguments(const QStringList& arguments);

// The command line as the program received it, without its name, less the options Qt
// takes for itself (-platform offscreen, -style=fusion, --reverse ...) and their values:
// what ReadStartArguments sees once the toolkit has started. Read before the toolkit
// starts, so that help and argument errors need no display.
QStringList WithoutToolkitOptions(const QStringList& arguments);

}  // namespace ombrix
