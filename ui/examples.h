// The example projects shipped with Ombrix, listed for the "Beispiele" menu by their
// German titles.
#pragma once

#include <QString>
#include <vector>

namespace ombrix {

struct Example {
  QString title;
  QString path;
};

// The examples folder: the installed one beside the program, else the source tree's
// (a program run from its build folder); empty when neither exists.
QString ExamplesFolder();
// The same search from a given program folder, for tests.
QString ExamplesFolder(const QString& program_folder);

// Every project file of the folder. The titles and their order come from the folder's
// "titel.txt" (lines "datei.omp = Titel"); files it does not name follow under their
// own names, alphabetically.
std::vector<Example> ListExamples(const QString& folder);

}  // namespace ombrix
