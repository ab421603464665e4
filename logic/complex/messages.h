// The message boxes the logic may show. The window, the command-line tool and the
// tests each implement this interface. Texts are Windows-1252; "\n" is a line break.
#pragma once

#include <string>

namespace ombrix {

// Caption of the main window; also the title of plain boxes.
inline constexpr const char* kApplicationTitle = "Ombrix 0.98 (mit Formulon 2.11)";

enum class MessageKind {
  Error,        // title "Fehler", error icon, OK
  Information,  // title "Information", information icon, OK
  Plain,        // the given title, no icon, OK
  Fault,        // the application title, error icon, OK: the top-level fault handler's box
};

class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  // A modal box with one "OK" button.
  virtual void Show(MessageKind kind, const std::string& text,
                    const std::string& title = kApplicationTitle) = 0;
  // The confirmation box "Bestätigung" with "OK" and "Abbrechen"; true means "OK".
  virtual bool Confirm(const std::string& text) = 0;
};

inline constexpr const char* kConfirmationTitle = "Best\xE4tigung";

// A count and its noun, singular where the count is one: "1 Feld", "3 Felder".
std::string CountText(long long count, const char* one, const char* many);

// Title of a box of the given kind, Windows-1252.
std::string MessageTitle(MessageKind kind, const std::string& title = kApplicationTitle);

}  // namespace ombrix
