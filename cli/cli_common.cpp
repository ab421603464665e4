#include <string>

#include "cli/cli.h"
#include "logic/complex/cp1252.h"
#include "logic/complex/num_text.h"

namespace ombrix::cli {

namespace {

void WriteLine(std::ostream& err, const std::string& title, const std::string& text) {
  std::string line = title + ": ";
  for (char c : text) {
    if (c == '\n') {
      line += "\\n";
    } else {
      line += c;
    }
  }
  err << Cp1252ToUtf8(line) << '\n';
}

const char* const kUsage =
    "Aufruf: ombrix-cli eval|resave|format|run [Optionen] ... (ombrix-cli help zeigt alle)";

// Each subcommand's usage line as it prints it on a usage error, then what it does.
const char* const kHelp =
    "ombrix-cli: Terme berechnen, Projekte umwandeln und ohne Fenster ausf\xFChren.\n"
    "\n"
    "ombrix-cli eval [--decimal-separator SEP] [--project FILE] [--var NAME=TERM]... "
    "[--fun NAME=TERM]... [--display] [--explain] TERM...\n"
    "    berechnet jeden TERM und schreibt das Ergebnis (mit --display in Anzeigeform).\n"
    "    Mit --explain zeigt es je Term die Umformungen bis zum Ergebnis, je eine Zeile,\n"
    "    danach eine Leerzeile.\n"
    "    --var und --fun ersetzen eine Variable oder Funktion gleichen Namens, wobei Gro\xDF-\n"
    "    und Kleinschreibung nicht z\xE4hlt (x und X sind derselbe Name, wie in Termen).\n"
    "ombrix-cli resave [--decimal-separator SEP] [--output-decimal-separator SEP] IN OUT\n"
    "    speichert das Projekt IN als OUT, auf Wunsch mit einem anderen Dezimalzeichen.\n"
    "ombrix-cli format [--decimal-separator SEP] PROJECT\n"
    "    zeigt beide Programme des Projekts einger\374ckt wie der Programmeditor.\n"
    "ombrix-cli run [--decimal-separator SEP] [--picture BILD] [--png OUT] [--svg OUT] "
    "[--pdf OUT] [--trace] [--click X,Y]... [--max-steps N] [--lines [--break N]...] "
    "[--set NAME=TERM]... PROJECT\n"
    "    f\xFChrt das Projekt aus wie \"Starten\", dann je --click einen Mausklick;\n"
    "    mit --picture zeichnet es auf das Bild BILD (bmp, ico, jpg, png, emf, wmf);\n"
    "    --svg und --pdf schreiben das Bild mit scharfen Linien und Kreisen.\n"
    "    --set gibt der Variablen NAME vorher den Startwert TERM (mehrfach m\xF6glich).\n"
    "    Mit --lines steht vor jeder ausgef\xFChrten Zeile \"H n\" (Hauptprogramm) oder\n"
    "    \"M n\" (Mausklick), ein Tabulator und die Variablen, die die Zeile davor\n"
    "    ge\xE4ndert hat (name=Wert); --break N meldet \"PAUSE H N\" vor Zeile N.\n"
    "\n"
    "SEP ist \",\" oder \".\" (sonst das Dezimalzeichen des Systems). Meldungen stehen auf\n"
    "stderr als \"Titel: Text\". Ende: 0 erfolgreich, 1 ein Schritt schlug fehl,\n"
    "2 Aufruf- oder Dateifehler, 4 --max-steps erreicht.\n"
    "Ombrix selbst startet mit \"ombrix [PROJEKT.omp]\"; siehe auch man ombrix-cli.\n";

}  // namespace

void MessageLineBoxes::Show(MessageKind kind, const std::string& text, const std::string& title) {
  WriteLine(err_, MessageTitle(kind, title), text);
}

bool MessageLineBoxes::Confirm(const std::string& text) {
  WriteLine(err_, kConfirmationTitle, text);
  return true;
}

bool ApplySeparatorArgument(const std::string& value) {
  if (value != "," && value != ".") return false;
  SetDecimalSeparator(value[0]);
  return true;
}

bool ApplySeparatorOption(const std::optional<std::string>& value) {
  if (value) return ApplySeparatorArgument(*value);
  return ApplySystemSeparator();
}

int Main(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) {
    err << kUsage << '\n';
    return kExitUsage;
  }
  const std::string& command = args[0];
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (command == "eval") return RunEval(rest, out, err);
  if (command == "resave") return RunResave(rest, out, err);
  if (command == "format") return RunFormat(rest, out, err);
  if (command == "run") return RunRun(rest, out, err);
  if (command == "help" || command == "--help" || command == "-h") {
    out << Cp1252ToUtf8(kHelp);
    return kExitOk;
  }
  err << kUsage << '\n';
  return kExitUsage;
}

}  // namespace ombrix::cli
