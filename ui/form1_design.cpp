#include "ui/form1_design.h"

#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QLayout>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>

#include "logic/complex/messages.h"
#include "platform/qt_text.h"
#include "ui/Unitform1.h"
#include "ui/help_window.h"
#include "ui/picture_box.h"

namespace ombrix {

namespace {

constexpr int kClientWidth = 435;
constexpr int kClientHeight = 504;
constexpr int kStatusHeight = 20;
constexpr int kCheckBoxLeft = 208;
constexpr double kSmallestPoints = 6.0;  // below this the caption is no longer readable

QFont CourierNew() {
  QFont font(QStringLiteral("Courier New"), 9);
  font.setStyleHint(QFont::TypeWriter);
  return font;
}

}  // namespace

void TForm1Design::SetupUi(QMainWindow& window, const QImageCanvas& canvas) {
  window_ = &window;
  window.setObjectName(QStringLiteral("Form1"));
  window.setWindowTitle(ToQt(kApplicationTitle));
  window.setWindowIcon(QIcon(QStringLiteral(":/ombrix/ombrix.png")));
  CreateComponents(canvas);
  CreateActions();
  CreateMenus();
}

void TForm1Design::CreateComponents(const QImageCanvas& canvas) {
  auto* client = new QWidget(window_);
  client->setObjectName(QStringLiteral("ClientArea"));
  client->setFixedSize(kClientWidth, kClientHeight - kStatusHeight);
  window_->setCentralWidget(client);
  CreateTopStrip(client);
  Image1 = new PictureBox(canvas, client);
  Image1->move(16, 64);
  CreateStatusBar();
  window_->layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void TForm1Design::CreateTopStrip(QWidget* client) {
  Bevel1 = new QFrame(client);
  Bevel1->setObjectName(QStringLiteral("Bevel1"));
  Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
  Bevel1->setGeometry(8, 2, 419, 56);
  Bevel2 = new QFrame(client);
  Bevel2->setObjectName(QStringLiteral("Bevel2"));
  Bevel2->setFrameStyle(QFrame::Box | QFrame::Sunken);
  Bevel2->setGeometry(8, 60, 419, 408);

  Label4 = new QLabel(QStringLiteral("Mausposition:"), client);
  Label4->setObjectName(QStringLiteral("Label4"));
  Label4->setGeometry(16, 8, 180, 16);
  Label5 = new QLabel(QStringLiteral("0"), client);
  Label5->setObjectName(QStringLiteral("Label5"));
  Label5->setFont(CourierNew());
  Label5->setGeometry(16, 24, 188, 16);

  // The check boxes end inside the bevel's frame, one pixel short of its inner edge.
  const int box_width = Bevel1->x() + Bevel1->contentsRect().right() - kCheckBoxLeft;
  CheckBox1 = new QCheckBox(QStringLiteral("Hauptprogramm aktiv?"), client);
  CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
  CheckBox1->setGeometry(kCheckBoxLeft, 8, box_width, 17);
  CheckBox2 = new QCheckBox(ToQt("Ereignisbehandlung f\xFCr Mausklick aktiv?"), client);
  CheckBox2->setObjectName(QStringLiteral("CheckBox2"));
  CheckBox2->setGeometry(kCheckBoxLeft, 24, box_width, 17);
  // The top strip uses the small dialog font, so that the long caption fits its place;
  // where the fonts of this machine are wider, it gets smaller still until it fits.
  QFont small = CheckBox1->font();
  small.setPointSizeF(8);
  small.setStretch(QFont::SemiCondensed);
  CheckBox2->setFont(small);
  while (CheckBox2->sizeHint().width() > box_width && small.pointSizeF() > kSmallestPoints) {
    small.setPointSizeF(small.pointSizeF() - 0.25);
    CheckBox2->setFont(small);
  }
  for (QWidget* w : {static_cast<QWidget*>(Label4), static_cast<QWidget*>(CheckBox1)}) {
    w->setFont(small);
  }
}

void TForm1Design::CreateStatusBar() {
  QStatusBar* bar = window_->statusBar();
  bar->setObjectName(QStringLiteral("StatusBar1"));
  bar->setSizeGripEnabled(false);
  bar->setFixedHeight(kStatusHeight);
  StatusFilePanel = new QLabel(bar);
  StatusFilePanel->setObjectName(QStringLiteral("StatusFilePanel"));
  StatusFilePanel->setFixedWidth(355);
  StatusChangedPanel = new QLabel(bar);
  StatusChangedPanel->setObjectName(QStringLiteral("StatusChangedPanel"));
  StatusChangedPanel->setFixedWidth(45);
  // A narrow small font, so that the change mark fits its 45 pixels.
  QFont panel_font = Label4->font();
  panel_font.setStretch(QFont::Condensed);
  for (QLabel* panel : {StatusFilePanel, StatusChangedPanel}) {
    panel->setFont(panel_font);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    bar->addWidget(panel);
  }
}

void TForm1Design::FitScreenHeight(int available_height) {
  if (window_->sizeHint().height() <= available_height) return;
  // 32 pixels less: the strip 18 lower, the picture's frame 14 closer to the status bar.
  constexpr int kRise = 18;
  for (QWidget* w : {static_cast<QWidget*>(Label4), static_cast<QWidget*>(Label5),
                     static_cast<QWidget*>(CheckBox1), static_cast<QWidget*>(CheckBox2)}) {
    w->move(w->x(), w->y() - 4);
  }
  Bevel1->setGeometry(Bevel1->x(), Bevel1->y(), Bevel1->width(), Bevel1->height() - kRise);
  Bevel2->move(Bevel2->x(), Bevel2->y() - kRise);
  Image1->move(Image1->x(), Image1->y() - kRise);
  window_->centralWidget()->setFixedHeight(Bevel2->geometry().bottom() + 3);
  window_->adjustSize();
}

QAction* TForm1Design::MakeAction(const char* name, const char* caption, const char* category,
                                  const QKeySequence& shortcut, int image_index, Handler handler) {
  auto* action = new QAction(ToQt(caption), window_);
  action->setObjectName(QString::fromLatin1(name));
  action->setShortcut(shortcut);
  action->setProperty("category", ToQt(category));
  if (image_index >= 0) {
    action->setProperty("imageIndex", image_index);
    action->setIcon(
        QIcon(QStringLiteral(":/ombrix/icons/%1.png").arg(image_index, 2, 10, QLatin1Char('0'))));
  }
  window_->addAction(action);  // the shortcuts work wherever the focus is in the window
  handlers_.emplace_back(action, handler);
  return action;
}

void TForm1Design::CreateActions() {
  CreateFileActions();
  CreateEditAndRunActions();
  // F1 starts a program, so the guide has no shortcut of its own.
  HilfeSprachuebersicht = MakeAction("HilfeSprachuebersicht", "Sprach\374bersicht", "Hilfe",
                                     QKeySequence(), -1, &TForm1::HilfeSprachuebersichtExecute);
  HilfeUeber = MakeAction("HilfeUeber", kAboutTitle, "Hilfe", QKeySequence(), -1,
                          &TForm1::HilfeUeberExecute);
}

void TForm1Design::CreateFileActions() {
  ProjektNeu =
      MakeAction("ProjektNeu", "Neues Projekt", "Datei",
                 QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_N), 0, &TForm1::ProjektNeuExecute);
  ProjektOeffnen =
      MakeAction("ProjektOeffnen", "Projekt \366ffnen", "Datei", QKeySequence(Qt::CTRL | Qt::Key_O),
                 1, &TForm1::ProjektOeffnenExecute);
  ProjektSpeichern =
      MakeAction("ProjektSpeichern", "Projekt speichern", "Datei",
                 QKeySequence(Qt::CTRL | Qt::Key_S), 2, &TForm1::ProjektSpeichernExecute);
  ProjektSpeichernUnter = MakeAction("ProjektSpeichernUnter", "Projekt speichern unter", "Datei",
                                     QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_S), 3,
                                     &TForm1::ProjektSpeichernUnterExecute);
  ProjektBeenden =
      MakeAction("ProjektBeenden", "Beenden", "Datei", QKeySequence(Qt::ALT | Qt::Key_F4), 4,
                 &TForm1::ProjektBeendenExecute);
  ProjektBildOeffnen = MakeAction("ProjektBildOeffnen", "Bild \366ffnen", "Datei",
                                  QKeySequence(Qt::ALT | Qt::SHIFT | Qt::Key_O), 5,
                                  &TForm1::ProjektBildOeffnenExecute);
  ProjektBildSpeichernUnter = MakeAction("ProjektBildSpeichernUnter", "Bild speichern unter",
                                         "Datei", QKeySequence(Qt::ALT | Qt::SHIFT | Qt::Key_S), 6,
                                         &TForm1::ProjektBildSpeichernUnterExecute);
  ProjektBildDrucken =
      MakeAction("ProjektBildDrucken", "Bild drucken \x85", "Datei",
                 QKeySequence(Qt::CTRL | Qt::Key_P), 13, &TForm1::ProjektBildDruckenExecute);
  ProjektBildKopieren =
      MakeAction("ProjektBildKopieren", "Bild kopieren", "Datei",
                 QKeySequence(Qt::CTRL | Qt::Key_C), 14, &TForm1::ProjektBildKopierenExecute);
  ProjektBildExportieren = MakeAction("ProjektBildExportieren", "Bild exportieren \x85", "Datei",
                                      QKeySequence(), 15, &TForm1::ProjektBildExportierenExecute);
}

void TForm1Design::CreateEditAndRunActions() {
  BearbeitenHauptprogramm =
      MakeAction("BearbeitenHauptprogramm", "Hauptprogramm", "Bearbeiten",
                 QKeySequence(Qt::CTRL | Qt::Key_H), 7, &TForm1::BearbeitenHauptprogrammExecute);
  BearbeitenMausknopfGedrueckt = MakeAction("BearbeitenMausknopfGedrueckt",
                                            "Ereignisbehandlung f\xFCr 'Mausknopf gedr\374ckt'",
                                            "Bearbeiten", QKeySequence(Qt::CTRL | Qt::Key_M), 8,
                                            &TForm1::BearbeitenMausknopfGedruecktExecute);
  BearbeitenVariablen =
      MakeAction("BearbeitenVariablen", "Variablen", "Bearbeiten",
                 QKeySequence(Qt::CTRL | Qt::Key_I), 9, &TForm1::BearbeitenVariablenExecute);
  BearbeitenFunktionen =
      MakeAction("BearbeitenFunktionen", "Funktionen", "Bearbeiten",
                 QKeySequence(Qt::CTRL | Qt::Key_F), 10, &TForm1::BearbeitenFunktionenExecute);
  StartStarten = MakeAction("StartStarten", "Starten", "Start", QKeySequence(Qt::Key_F1), 11,
                            &TForm1::StartStartenExecute);
  StartAbbrechen = MakeAction("StartAbbrechen", "Abbrechen", "Start", QKeySequence(Qt::Key_F2), 12,
                              &TForm1::StartAbbrechenExecute);
  StartEinzelschritt = MakeAction("StartEinzelschritt", "Einzelschritt", "Start",
                                  QKeySequence(Qt::Key_F8), -1, &TForm1::StartEinzelschrittExecute);
  StartSchrittZurueck = MakeAction("StartSchrittZurueck",
                                   "Schritt zur\xFC"
                                   "ck",
                                   "Start", QKeySequence(Qt::SHIFT | Qt::Key_F8), -1,
                                   &TForm1::StartSchrittZurueckExecute);
  StartFortsetzen = MakeAction("StartFortsetzen", "Fortsetzen", "Start", QKeySequence(Qt::Key_F5),
                               -1, &TForm1::StartFortsetzenExecute);
  StartHaltepunkt = MakeAction("StartHaltepunkt", "Haltepunkt an/aus", "Start",
                               QKeySequence(Qt::Key_F9), -1, &TForm1::StartHaltepunktExecute);
  StartAblaufAnzeigen = MakeAction("StartAblaufAnzeigen", "Ablauf anzeigen", "Start",
                                   QKeySequence(), -1, &TForm1::StartAblaufAnzeigenExecute);
  BearbeitenRegler = MakeAction("BearbeitenRegler", "Regler", "Bearbeiten", QKeySequence(), -1,
                                &TForm1::BearbeitenReglerExecute);
}

void TForm1Design::CreateMenus() {
  QMenuBar* menu = window_->menuBar();
  menu->setObjectName(QStringLiteral("MainMenu1"));
  QMenu* datei = menu->addMenu(QStringLiteral("Datei"));
  datei->setObjectName(QStringLiteral("Datei1"));
  datei->addAction(ProjektNeu);
  datei->addSeparator();
  datei->addAction(ProjektOeffnen);
  datei->addAction(ProjektSpeichern);
  datei->addAction(ProjektSpeichernUnter);
  datei->addSeparator();
  datei->addAction(ProjektBildOeffnen);
  datei->addAction(ProjektBildSpeichernUnter);
  datei->addSeparator();
  datei->addAction(ProjektBeenden);
  datei->addSeparator();
  datei->addAction(ProjektBildDrucken);
  datei->addAction(ProjektBildKopieren);
  datei->addAction(ProjektBildExportieren);
  QMenu* bearbeiten = menu->addMenu(QStringLiteral("Bearbeiten"));
  bearbeiten->setObjectName(QStringLiteral("Bearbeiten1"));
  bearbeiten->addAction(BearbeitenFunktionen);
  bearbeiten->addAction(BearbeitenVariablen);
  bearbeiten->addSeparator();
  bearbeiten->addAction(BearbeitenHauptprogramm);
  bearbeiten->addAction(BearbeitenMausknopfGedrueckt);
  bearbeiten->addSeparator();
  bearbeiten->addAction(BearbeitenRegler);
  QMenu* start = menu->addMenu(QStringLiteral("Start"));
  start->setObjectName(QStringLiteral("Start1"));
  start->addAction(StartStarten);
  start->addAction(StartAbbrechen);
  start->addSeparator();
  start->addAction(StartEinzelschritt);
  start->addAction(StartSchrittZurueck);
  start->addAction(StartFortsetzen);
  start->addAction(StartHaltepunkt);
  start->addSeparator();
  start->addAction(StartAblaufAnzeigen);
  QMenu* hilfe = menu->addMenu(QStringLiteral("Hilfe"));
  hilfe->setObjectName(QStringLiteral("Hilfe1"));
  hilfe->addAction(HilfeSprachuebersicht);
  Beispiele1 = hilfe->addMenu(QStringLiteral("Beispiele"));
  Beispiele1->setObjectName(QStringLiteral("Beispiele1"));
  hilfe->addSeparator();
  hilfe->addAction(HilfeUeber);
}

std::array<QAction*, kLockedActionCount> TForm1Design::LockedActions() const {
  return {ProjektNeu,
          ProjektOeffnen,
          ProjektSpeichern,
          ProjektSpeichernUnter,
          ProjektBildOeffnen,
          BearbeitenFunktionen,
          BearbeitenVariablen,
          BearbeitenHauptprogramm,
          BearbeitenMausknopfGedrueckt,
          StartStarten};
}

}  // namespace ombrix
