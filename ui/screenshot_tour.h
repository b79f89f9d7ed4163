#ifndef KURONEL_UI_SCREENSHOT_TOUR_H_
#define KURONEL_UI_SCREENSHOT_TOUR_H_

#include <QSize>
#include <QString>
#include <vector>

namespace kuronel {

// One picture the tour saved: the PNG file and the size of the window it
// shows, in device pixels.
struct Screenshot {
  QString file;
  QSize window_size;
};

// Drives the program's real windows through the main job on a demo card
// (copies of sample camera photos in a temporary folder, which is also the
// current directory and so the home of Kuronel.ini while the tour runs) and
// saves a picture of each window worth showing into `out_dir`:
//   detail-settings.png   the detail settings window, Exif dates switched on
//   folder-picker.png     the folder picker choosing the card
//   main-window.png       the main window with the card listed, most rows
//                         checked and drawn in their colour
//   processing-before.png the processing window with its plan, one row
//                         marked 重複 because a file stands at its new path
//   processing-after.png  the same window after 実行
// Returns the pictures written; a step that could not be reached writes
// none, so a short list tells what went wrong.
std::vector<Screenshot> TakeScreenshots(const QString& out_dir);

// The names above, in the order the tour writes them.
std::vector<QString> ScreenshotNames();

}  // namespace kuronel

#endif  // KURONEL_UI_SCREENSHOT_TOUR_H_
