#ifndef KURONEL_UI_DETAIL_SETTINGS_WINDOW_H_
#define KURONEL_UI_DETAIL_SETTINGS_WINDOW_H_

#include <QDialog>
#include <string>

#include "settings/settings.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QPushButton;

namespace kuronel {

// The detail settings window: movie files checked by default, Exif dates, RAW,
// HEIF and MP4 files as targets, and the background colour of checked rows.
// Its four controls are its own copy of the detail settings; "更新" saves them
// and makes them the values in use. Each showing loads the file's values into
// both.
class DetailSettingsWindow : public QDialog {
  Q_OBJECT

 public:
  // The controls start with `loaded`, the values the program started with
  // from the settings file in `startup_folder`.
  DetailSettingsWindow(std::string startup_folder, const DetailSettings& loaded,
                       QWidget* parent = nullptr);

  // The window's copy, as its controls hold it.
  DetailSettings WindowCopy() const;

 signals:
  // The values in use changed: loaded from the file or saved by "更新".
  void DetailSettingsInUse(const kuronel::DetailSettings& values);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  // A check box changed, by the user or by a load, or a colour the user
  // picks enables "更新".
  void EnableUpdate();
  void ColourPicked(int index);
  // "更新": saves the window's copy, makes it the values in use and closes.
  void SaveAndUseValues();
  void LoadDetailSettingsIntoControls();
  void ShowInControls(const DetailSettings& values);
  void SelectColour(Colour colour);
  void UseValues(const Settings& values);

  std::string startup_folder_;
  // The values in use as this window last set them: a load that stops at a
  // bad colour leaves the colour in use as it was.
  Settings in_use_;
  // The colour the window stands for: the one loaded, until the user picks
  // one in the list. A stored number that the list does not hold stays as
  // it is instead of becoming whatever entry was selected before.
  Colour colour_ = kClInactiveCaption;

  QCheckBox* check_movies_box_ = nullptr;
  QCheckBox* exif_date_box_ = nullptr;
  QCheckBox* raw_heif_mp4_box_ = nullptr;
  QCheckBox* skip_imported_box_ = nullptr;
  QGroupBox* colour_group_ = nullptr;
  QComboBox* colour_box_ = nullptr;
  QPushButton* update_button_ = nullptr;
  QPushButton* cancel_button_ = nullptr;
};

}  // namespace kuronel

#endif  // KURONEL_UI_DETAIL_SETTINGS_WINDOW_H_
