#ifndef KURONEL_SETTINGS_FORM3_H_
#define KURONEL_SETTINGS_FORM3_H_

#include <QDialog>
#include <string>

#include "settings/settings.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QPushButton;

namespace kuronel {

// The detail settings window: movie files checked by default, Exif dates, and
// the background colour of checked rows. Its three controls are its own copy
// of the detail settings; "更新" saves them and makes them the values in use.
class TForm3 : public QDialog {
  Q_OBJECT

 public:
  // Loads the controls from the settings file in `startup_folder`;
  // `values_in_use` is the main window's record of the settings in use.
  TForm3(std::string startup_folder, Settings& values_in_use,
         QWidget* parent = nullptr);

  // The window's copy, as its controls hold it.
  DetailSettings WindowCopy() const;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void FormCreate();
  void FormActivate();
  void SubOptionClick();
  void ColourPicked(int index);
  void SpeedButton1Click();
  void SpeedButton2Click();
  void LoadDetailSettingsIntoControls();
  void SelectColour(Colour colour);

  std::string startup_folder_;
  Settings& values_in_use_;
  // The colour the window stands for: the one loaded, until the user picks
  // one in the list. A stored number that the list does not hold stays as
  // it is instead of becoming whatever entry was selected before.
  Colour colour_ = kClInactiveCaption;

  QCheckBox* CheckBox2 = nullptr;
  QCheckBox* CheckBox3 = nullptr;
  QGroupBox* GroupBox1 = nullptr;
  QComboBox* ColorBox1 = nullptr;
  QPushButton* SpeedButton1 = nullptr;
  QPushButton* SpeedButton2 = nullptr;
};

}  // namespace kuronel

#endif  // KURONEL_SETTINGS_FORM3_H_
