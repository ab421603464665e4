// The main window's design, as a form designer keeps it apart from the window's code:
// the components in their places and fonts, the actions with their captions, shortcuts
// and icons, and the menus, all made in one place. The window (Unitform1) derives from it
// and gives the components their handlers and the actions the handlers named here.
#pragma once

#include <QKeySequence>
#include <array>
#include <utility>
#include <vector>

class QAction;
class QCheckBox;
class QFrame;
class QImage;
class QLabel;
class QMainWindow;
class QMenu;
class QWidget;

namespace ombrix {

class PictureBox;
class QImageCanvas;
class TForm1;

inline constexpr int kLockedActionCount = 10;

class TForm1Design {
 public:
  // Components, named as in the window's design.
  QLabel* Label4 = nullptr;
  QLabel* Label5 = nullptr;
  QCheckBox* CheckBox1 = nullptr;
  QCheckBox* CheckBox2 = nullptr;
  PictureBox* Image1 = nullptr;
  QLabel* StatusFilePanel = nullptr;
  QLabel* StatusChangedPanel = nullptr;
  QFrame* Bevel1 = nullptr;
  QFrame* Bevel2 = nullptr;

  // ActionList1, in its order.
  QAction* ProjektNeu = nullptr;
  QAction* ProjektOeffnen = nullptr;
  QAction* ProjektSpeichern = nullptr;
  QAction* ProjektSpeichernUnter = nullptr;
  QAction* ProjektBeenden = nullptr;
  QAction* ProjektBildOeffnen = nullptr;
  QAction* ProjektBildSpeichernUnter = nullptr;
  QAction* ProjektBildDrucken = nullptr;
  QAction* ProjektBildKopieren = nullptr;
  QAction* ProjektBildExportieren = nullptr;
  QAction* BearbeitenHauptprogramm = nullptr;
  QAction* BearbeitenMausknopfGedrueckt = nullptr;
  QAction* BearbeitenVariablen = nullptr;
  QAction* BearbeitenFunktionen = nullptr;
  QAction* StartStarten = nullptr;
  QAction* StartAbbrechen = nullptr;
  std::array<QAction*, kLockedActionCount> LockedActions() const;
  // Watching a run, after "Starten" and "Abbrechen" in the "Start" menu.
  QAction* StartEinzelschritt = nullptr;
  QAction* StartSchrittZurueck = nullptr;
  QAction* StartFortsetzen = nullptr;
  QAction* StartHaltepunkt = nullptr;
  QAction* StartAblaufAnzeigen = nullptr;
  // Controls: the "Regler" panel.
  QAction* BearbeitenRegler = nullptr;
  // The "Hilfe" menu: the language guide, the shipped examples, the about box.
  QAction* HilfeSprachuebersicht = nullptr;
  QAction* HilfeUeber = nullptr;
  QMenu* Beispiele1 = nullptr;  // one item per example; locked with "Projekt öffnen"

  // On a screen lower than the window (a large scale on a small screen) the top strip
  // and the margins around the picture close up; the picture keeps its size.
  void FitScreenHeight(int available_height);

 protected:
  using Handler = void (TForm1::*)();
  // Makes everything on `window`; the picture shows `canvas`.
  void SetupUi(QMainWindow& window, const QImageCanvas& canvas);
  // Each action with the window's handler it runs.
  const std::vector<std::pair<QAction*, Handler>>& ActionHandlers() const { return handlers_; }

 private:
  void CreateComponents(const QImageCanvas& canvas);
  void CreateTopStrip(QWidget* client);  // the bevels, the mouse position, the switches
  void CreateStatusBar();
  void CreateActions();
  void CreateFileActions();
  void CreateEditAndRunActions();
  void CreateMenus();
  QAction* MakeAction(const char* name, const char* caption, const char* category,
                      const QKeySequence& shortcut, int image_index, Handler handler);

  QMainWindow* window_ = nullptr;
  std::vector<std::pair<QAction*, Handler>> handlers_;
};

}  // namespace ombrix
