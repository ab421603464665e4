// "Bild drucken …", "Bild kopieren" and "Bild exportieren …" in the window: their places,
// keys and icons, the clipboard, the export dialog and its file, and the record of the
// picture kept through "Neues Projekt", "Bild öffnen" and the start picture.
#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QSvgRenderer>
#include <QtTest>

#include "tests/ui/ui_rig.h"

using namespace ombrix;
using namespace ombrix::testing;

class TestPictureOutput : public QObject {
  Q_OBJECT

 private slots:
  void actions_data();
  void actions();
  void lastInDatei();
  void copy_data();
  void copy();
  void exportDialog();
  void exportSuffixFollowsTheFilter_data();
  void exportSuffixFollowsTheFilter();
  void exportFile_data();
  void exportFile();
  void recordFollowsThePicture();
};

void TestPictureOutput::actions_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QString>("caption");
  QTest::addColumn<QKeySequence>("shortcut");
  QTest::addColumn<int>("image");
  QTest::newRow("print") << "ProjektBildDrucken" << ToQt("Bild drucken \x85")
                         << QKeySequence(Qt::CTRL | Qt::Key_P) << 13;
  QTest::newRow("copy") << "ProjektBildKopieren" << QStringLiteral("Bild kopieren")
                        << QKeySequence(Qt::CTRL | Qt::Key_C) << 14;
  QTest::newRow("export") << "ProjektBildExportieren" << ToQt("Bild exportieren \x85")
                          << QKeySequence() << 15;
}

void TestPictureOutput::actions() {
  QFETCH(QString, name);
  QFETCH(QString, caption);
  QFETCH(QKeySequence, shortcut);
  QFETCH(int, image);
  Rig rig;
  auto* action = rig.form.findChild<QAction*>(name);
  QVERIFY(action != nullptr);
  QCOMPARE(action->text(), caption);
  QCOMPARE(action->property("category").toString(), QStringLiteral("Datei"));
  QCOMPARE(action->shortcut(), shortcut);
  QCOMPARE(action->property("imageIndex").toInt(), image);
  QCOMPARE(action->icon().availableSizes().value(0), QSize(16, 16));
  // Not locked by a run: a running picture may be printed, copied and exported.
  rig.Main() = {"Solange(1)", "EndeSolange"};
  rig.form.StartRun();
  QVERIFY(action->isEnabled());
  rig.form.StopRun();
}

void TestPictureOutput::lastInDatei() {
  Rig rig;
  QMenu* datei = rig.form.menuBar()->actions().value(0)->menu();
  const QList<QAction*> items = datei->actions();
  QVERIFY(items.size() >= 4);
  QVERIFY(items[items.size() - 4]->isSeparator());
  QCOMPARE(items[items.size() - 3], rig.form.ProjektBildDrucken);
  QCOMPARE(items[items.size() - 2], rig.form.ProjektBildKopieren);
  QCOMPARE(items[items.size() - 1], rig.form.ProjektBildExportieren);
}

void TestPictureOutput::copy_data() {
  QTest::addColumn<bool>("by_key");
  QTest::newRow("menu item") << false;
  QTest::newRow("Ctrl+C in the main window") << true;
}

void TestPictureOutput::copy() {
  QFETCH(bool, by_key);
  QGuiApplication::clipboard()->clear();
  Rig rig;
  rig.Main() = {"L\xF6scheBild", "ZeichneKreis(0;2)", "ZeichneLinie(-4;4)"};
  rig.form.StartRun();
  QTRY_VERIFY(!rig.session.flags.MainRunning);
  if (by_key) {
    rig.form.show();
    rig.form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&rig.form));
    QTest::keyClick(&rig.form, Qt::Key_C, Qt::ControlModifier);
  } else {
    rig.form.ProjektBildKopieren->trigger();
  }
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  QVERIFY(data != nullptr);
  QVERIFY(data->hasImage());
  QCOMPARE(qvariant_cast<QImage>(data->imageData()).convertToFormat(QImage::Format_RGB32),
           rig.session.canvas.Image());
  QVERIFY(data->hasFormat(QStringLiteral("image/svg+xml")));
  QSvgRenderer svg(data->data(QStringLiteral("image/svg+xml")));
  QVERIFY(svg.isValid());
  QCOMPARE(svg.viewBoxF(), QRectF(0, 0, 400, 400));
  QVERIFY(rig.session.flags.MouseHandlerEnabled);  // copying leaves the programs as they are
}

void TestPictureOutput::exportDialog() {
  QTemporaryDir dir;
  Rig rig;
  rig.files.answers = {dir.filePath(QStringLiteral("bild.bmp")), std::nullopt};
  rig.form.ProjektBildSpeichernUnterExecute();
  rig.Main() = {"Solange(1)", "EndeSolange"};
  rig.form.StartRun();
  rig.form.ProjektBildExportieren->trigger();  // cancelled
  QVERIFY(!rig.session.flags.MainRunning);     // as "Bild speichern unter", it stops the run
  QCOMPARE(rig.files.asked.size(), std::size_t{2});
  const FileDialogSetup& setup = rig.files.asked[1];
  QCOMPARE(setup.kind, FileDialogKind::ExportPicture);
  QVERIFY(setup.save);
  QCOMPARE(setup.title, QStringLiteral("Ombrix-Bild exportieren"));
  QCOMPARE(setup.filters, QStringList({"SVG-Grafik (*.svg)", "PDF-Dokument (*.pdf)"}));
  QCOMPARE(setup.selected_filter, setup.filters[0]);
  QCOMPARE(setup.default_suffix, QStringLiteral("svg"));
  QVERIFY(setup.suffix_from_filter);
  QCOMPARE(setup.start, QFileInfo(dir.path()).absoluteFilePath());  // where pictures were saved
  QVERIFY(rig.boxes.boxes.empty());
}

void TestPictureOutput::exportSuffixFollowsTheFilter_data() {
  QTest::addColumn<int>("filter");
  QTest::addColumn<QString>("typed");
  QTest::addColumn<QString>("chosen");
  QTest::newRow("SVG shown") << 0 << "bild"
                             << "bild.svg";
  QTest::newRow("PDF shown") << 1 << "bild"
                             << "bild.pdf";
  QTest::newRow("an extension typed stays") << 1 << "bild.svg"
                                            << "bild.svg";
}

void TestPictureOutput::exportSuffixFollowsTheFilter() {
  QFETCH(int, filter);
  QFETCH(QString, typed);
  QFETCH(QString, chosen);
  QTemporaryDir dir;
  FileDialogSetup setup = DialogSetup(FileDialogKind::ExportPicture);
  setup.start = dir.path();
  ModalDriver driver;
  driver.actions.push_back([&](QDialog& dialog) {
    auto& files = static_cast<QFileDialog&>(dialog);
    // As the user picks it from the list of file types.
    auto* types = files.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    QVERIFY(types != nullptr);
    types->setCurrentIndex(filter);
    emit types->activated(filter);
    emit types->textActivated(types->itemText(filter));
    files.selectFile(typed);
  });
  QtFileDialogs dialogs;
  const std::optional<QString> name = dialogs.Choose(setup);
  QVERIFY(name.has_value());
  QCOMPARE(QFileInfo(*name).fileName(), chosen);
}

void TestPictureOutput::exportFile_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QByteArray>("starts_with");
  QTest::addColumn<QString>("message");
  QTest::newRow("svg") << "b.svg" << QByteArray("<?xml") << QString();
  QTest::newRow("pdf") << "b.pdf" << QByteArray("%PDF") << QString();
  QTest::newRow("another extension")
      << "b.png" << QByteArray() << QStringLiteral("Unbekannte Bilddateierweiterung (.png)");
}

void TestPictureOutput::exportFile() {
  QFETCH(QString, name);
  QFETCH(QByteArray, starts_with);
  QFETCH(QString, message);
  QTemporaryDir dir;
  const QString path = dir.filePath(name);
  Rig rig;
  rig.files.answers = {path};
  rig.form.ProjektBildExportierenExecute();
  QFile file(path);
  if (message.isEmpty()) {
    QVERIFY(rig.boxes.boxes.empty());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().startsWith(starts_with));
  } else {
    QCOMPARE(rig.boxes.boxes.size(), std::size_t{1});
    QCOMPARE(rig.boxes.boxes[0].kind, MessageKind::Fault);
    QCOMPARE(ToQt(rig.boxes.boxes[0].text), message);
    QVERIFY(!file.exists());
  }
  QVERIFY(!rig.session.ProjectChanged);
}

void TestPictureOutput::recordFollowsThePicture() {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("grund.png"));
  QImage loaded(300, 200, QImage::Format_RGB32);
  loaded.fill(QColor(0, 128, 0));
  QVERIFY(loaded.save(path));
  Rig rig;
  // The start picture lies below what the first run draws.
  QVERIFY(rig.session.record.commands.OnPicture());
  QCOMPARE(rig.session.record.ground, rig.session.canvas.Image());
  rig.Main() = {"ZeichnePunkt(0)"};
  rig.form.StartRun();
  QTRY_VERIFY(!rig.session.flags.MainRunning);
  QCOMPARE(rig.session.record.commands.Entries().size(), std::size_t{2});  // scale, point
  rig.files.answers = {path};
  rig.form.ProjektBildOeffnenExecute();
  QVERIFY(rig.session.record.commands.OnPicture());
  QVERIFY(rig.session.record.commands.Entries().empty());
  QCOMPARE(rig.session.record.ground.size(), QSize(300, 200));
  rig.form.ProjektNeuExecute();
  QVERIFY(!rig.session.record.commands.OnPicture());
  QVERIFY(rig.session.record.ground.isNull());
}

QTEST_MAIN(TestPictureOutput)
#include "test_picture_output.moc"
