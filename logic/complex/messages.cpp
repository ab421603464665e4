#include "logic/complex/messages.h"

namespace ombrix {

std::string CountText(long long count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

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
