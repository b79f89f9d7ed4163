#include "ui/screenshot_tour.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QSet>
#include <QTest>

#include "settings/colour_table.h"
#include "settings/settings.h"
#include "testing/qt/program_under_test.h"
#include "testing/qt/qt_test_support.h"
#include "testing/temp_dir.h"
#include "ui/processing_window.h"

namespace {

int DistinctColours(const QImage& image) {
  QSet<QRgb> colours;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) colours.insert(image.pixel(x, y));
  return colours.size();
}

bool Holds(const QImage& image, QRgb colour) {
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if ((image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF)) return true;
  return false;
}

}  // namespace

class ScreenshotTourTest : public QObject {
  Q_OBJECT

 private slots:
  // The quick form of make screenshots: every picture is written, shows a
  // whole window and is no empty frame.
  void EveryWindowIsPictured() {
    kuronel::testing::TempDir out;
    const std::vector<kuronel::Screenshot> shots =
        kuronel::TakeScreenshots(QString::fromStdString(out.path()));
    QStringList written;
    for (const kuronel::Screenshot& shot : shots)
      written << QFileInfo(shot.file).fileName();
    QStringList expected;
    for (const QString& name : kuronel::ScreenshotNames()) expected << name;
    QCOMPARE(written, expected);

    for (const kuronel::Screenshot& shot : shots) {
      const QImage image(shot.file);
      QVERIFY2(!image.isNull(), qPrintable(shot.file));
      QCOMPARE(image.size(), shot.window_size);
      QVERIFY2(image.width() >= 200 && image.height() >= 100,
               qPrintable(shot.file));
      // Text, frames and icons give many colours; a blank grab gives one.
      QVERIFY2(DistinctColours(image) > 16, qPrintable(shot.file));
    }
    // The main window shows its checked rows in their background colour.
    const QImage main(
        QDir(QString::fromStdString(out.path())).filePath("main-window.png"));
    QVERIFY(Holds(main, kuronel::ColourToRgb(kuronel::kClInactiveCaption)));
  }

  // Every window of the program carries the application icon in the sizes
  // of the icon theme, also when run from the build folder.
  void EveryWindowShowsTheProgramIcon() {
    kuronel::testing::ProgramUnderTest program;
    auto* processing = program.Main().findChild<kuronel::ProcessingWindow*>();
    QVERIFY(processing != nullptr);
    for (QWidget* window : {static_cast<QWidget*>(&program.Main()),
                            static_cast<QWidget*>(processing),
                            static_cast<QWidget*>(&program.DetailWindow())}) {
      const QIcon icon = window->windowIcon();
      QVERIFY(!icon.isNull());
      QVERIFY(icon.availableSizes().contains(QSize(16, 16)));
      QVERIFY(icon.availableSizes().contains(QSize(256, 256)));
      const QImage small = icon.pixmap(QSize(16, 16)).toImage();
      QCOMPARE(small.size(), QSize(16, 16));
      QVERIFY(DistinctColours(small) > 4);
    }
  }
};

KURONEL_QTEST_MAIN(ScreenshotTourTest)

#include "screenshot_tour_test.moc"
