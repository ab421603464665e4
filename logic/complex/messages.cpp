#include "logic/complex/messages.h"

namespace ombrix {

std::string MessageTitle(MessageKind kind, const std::string& title) {
  switch (kind) {
    case MessageKind::Error:
      return "Fehler";
    case MessageKind::Information:
      return "Information";
    case MessageKind::Plain:
      return title;
    case MessageKind::Fault:
      return kApplicationTitle;
  }
  return title;
}

}  // namespace ombrix
