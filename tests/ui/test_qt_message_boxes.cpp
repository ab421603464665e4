// The window's message boxes: title, icon, text and buttons of each kind, and what the
// confirmation answers for each way of closing it.
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

#include "tests/ui/ui_rig.h"
#include "ui/qt_message_boxes.h"

using namespace ombrix;
using namespace ombrix::testing;

namespace {

struct SeenBox {
  QString title;
  QString text;
  int icon = -1;
  QStringList buttons;
};

SeenBox Inspect(QDialog& d) {
  SeenBox seen;
  auto& box = dynamic_cast<QMessageBox&>(d);
  seen.title = box.windowTitle();
  seen.text = box.text();
  seen.icon = box.icon();
  for (QAbstractButton* b : box.buttons()) seen.buttons << b->text();
  return seen;
}

}  // namespace

class TestMessageBoxes : public QObject {
  Q_OBJECT

 private slots:
  void show_data();
  void show();
  void plainBoxIcon_data();
  void plainBoxIcon();
  void confirm_data();
  void confirm();
};

void TestMessageBoxes::show_data() {
  QTest::addColumn<int>("kind");
  QTest::addColumn<QString>("title");
  QTest::addColumn<int>("icon");
  QTest::newRow("error") << int(MessageKind::Error) << "Fehler" << int(QMessageBox::Critical);
  QTest::newRow("information") << int(MessageKind::Information) << "Information"
                               << int(QMessageBox::Information);
  QTest::newRow("plain") << int(MessageKind::Plain) << "Eigener Titel" << int(QMessageBox::NoIcon);
  QTest::newRow("fault") << int(MessageKind::Fault) << "Ombrix 0.98 (mit Formulon 2.11)"
                         << int(QMessageBox::Critical);
}

void TestMessageBoxes::show() {
  QFETCH(int, kind);
  QFETCH(QString, title);
  QFETCH(int, icon);
  QtMessageBoxes boxes;
  ModalDriver driver;
  SeenBox seen;
  driver.actions.push_back([&](QDialog& d) { seen = Inspect(d); });
  boxes.Show(static_cast<MessageKind>(kind), "Zeile 1\nZeile \xE4",
             kind == int(MessageKind::Plain) ? std::string("Eigener Titel") : kApplicationTitle);
  QCOMPARE(driver.visits.size(), std::size_t{1});
  QCOMPARE(seen.title, title);
  QCOMPARE(seen.text, QString::fromUtf8("Zeile 1\nZeile \xC3\xA4"));
  QCOMPARE(seen.icon, icon);
  QCOMPARE(seen.buttons, QStringList{"OK"});
}

void TestMessageBoxes::plainBoxIcon_data() {
  QTest::addColumn<QString>("title");
  QTest::addColumn<bool>("icon");
  QTest::newRow("a title of its own: the program's icon") << ToQt("\334ber Ombrix") << true;
  QTest::newRow("the application's title: none") << ToQt(kApplicationTitle) << false;
}

void TestMessageBoxes::plainBoxIcon() {
  QFETCH(QString, title);
  QFETCH(bool, icon);
  QImage image(16, 16, QImage::Format_RGB32);
  image.fill(Qt::red);
  QApplication::setWindowIcon(QIcon(QPixmap::fromImage(image)));
  QtMessageBoxes boxes;
  ModalDriver driver;
  bool has_pixmap = false;
  driver.actions.push_back(
      [&](QDialog& d) { has_pixmap = !dynamic_cast<QMessageBox&>(d).iconPixmap().isNull(); });
  boxes.Show(MessageKind::Plain, "Text", FromQt(title));
  QCOMPARE(has_pixmap, icon);
  QApplication::setWindowIcon(QIcon());
}

void TestMessageBoxes::confirm_data() {
  QTest::addColumn<QString>("how");
  QTest::addColumn<bool>("answer");
  QTest::newRow("OK") << "OK" << true;
  QTest::newRow("Abbrechen") << "Abbrechen" << false;
  QTest::newRow("Escape means Abbrechen") << "escape" << false;
  QTest::newRow("Enter means Abbrechen, the default") << "enter" << false;
}

void TestMessageBoxes::confirm() {
  QFETCH(QString, how);
  QFETCH(bool, answer);
  QtMessageBoxes boxes;
  ModalDriver driver;
  SeenBox seen;
  QString default_button;
  driver.actions.push_back([&](QDialog& d) {
    seen = Inspect(d);
    auto& box = dynamic_cast<QMessageBox&>(d);
    if (box.defaultButton() != nullptr) default_button = box.defaultButton()->text();
    if (how == QLatin1String("escape")) {
      QTest::keyClick(&box, Qt::Key_Escape);
    } else if (how == QLatin1String("enter")) {
      QTest::keyClick(&box, Qt::Key_Return);
    } else {
      for (QAbstractButton* b : box.buttons())
        if (b->text() == how) b->click();
    }
  });
  const bool result =
      boxes.Confirm("Wollen Sie Ihre \xC4nderungen am Projekt\nwirklich verwerfen?");
  QCOMPARE(result, answer);
  QCOMPARE(seen.title, QString::fromUtf8("Best\xC3\xA4tigung"));
  QCOMPARE(seen.icon, int(QMessageBox::Question));
  QCOMPARE(seen.buttons, (QStringList{"OK", "Abbrechen"}));
  QCOMPARE(default_button, QStringLiteral("Abbrechen"));
  QCOMPARE(seen.text,
           QString::fromUtf8("Wollen Sie Ihre \xC3\x84nderungen am Projekt\nwirklich verwerfen?"));
}

QTEST_MAIN(TestMessageBoxes)
#include "test_qt_message_boxes.moc"
