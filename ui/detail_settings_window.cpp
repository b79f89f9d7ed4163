#include "ui/detail_settings_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>

#include "settings/colour_table.h"
#include "settings/settings_io.h"
#include "ui/application.h"
#include "ui/colour_words.h"
#include "ui/keyboard_buttons.h"

namespace kuronel {
namespace {

// The client area that an outer size of 300 x 175 leaves inside the frame,
// one check box row taller for the third check box.
constexpr int kRowHeight = 24;  // each check box added below the Exif one
constexpr int kClientWidth = 292;
constexpr int kClientHeight = 141 + 2 * kRowHeight;

QIcon Swatch(Colour colour) {
  QPixmap pixmap(14, 10);
  pixmap.fill(QColor::fromRgb(ColourToRgb(colour)));
  QPainter painter(&pixmap);
  painter.setPen(Qt::black);
  painter.drawRect(0, 0, 13, 9);
  return QIcon(pixmap);
}

}  // namespace

DetailSettingsWindow::DetailSettingsWindow(std::string startup_folder,
                                           const DetailSettings& loaded,
                                           QWidget* parent)
    : QDialog(parent), startup_folder_(std::move(startup_folder)) {
  setObjectName("Form3");
  setWindowTitle(QString::fromUtf8("詳細設定"));
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
  resize(kClientWidth, kClientHeight);
  move(180, 116);

  check_movies_box_ = new QCheckBox(
      QString::fromUtf8("動画ファイルを標準でCheck【.mov，.avi，.mpg】"), this);
  check_movies_box_->setObjectName("CheckBox2");
  check_movies_box_->setGeometry(8, 8, 265, 17);
  exif_date_box_ = new QCheckBox(QString::fromUtf8("Exif情報を反映"), this);
  exif_date_box_->setObjectName("CheckBox3");
  exif_date_box_->setGeometry(8, 32, 265, 17);
  raw_heif_mp4_box_ =
      new QCheckBox(QString::fromUtf8("RAW・HEIF・MP4も対象にする"), this);
  raw_heif_mp4_box_->setObjectName("CheckBox4");
  raw_heif_mp4_box_->setGeometry(8, 56, 265, 17);
  skip_imported_box_ =
      new QCheckBox(QString::fromUtf8("取り込み済みは飛ばす"), this);
  skip_imported_box_->setObjectName("CheckBox5");
  skip_imported_box_->setGeometry(8, 56 + kRowHeight, 265, 17);
  colour_group_ = new QGroupBox(QString::fromUtf8("対象ファイル背景色"), this);
  colour_group_->setObjectName("GroupBox1");
  colour_group_->setGeometry(8, 56 + 2 * kRowHeight, 265, 49);

  colour_box_ = new QComboBox(colour_group_);
  colour_box_->setObjectName("ColorBox1");
  // From the group's left edge: the longest words fit whole.
  colour_box_->setGeometry(8, 19, 249, 22);
  colour_box_->setIconSize(QSize(14, 10));
  for (const ColourTableEntry& entry : ColourTable) {
    if (entry.Value == kClNone || entry.Value == kClDefault) continue;
    // Words a user reads; the settings file keeps the name, which the
    // item's tip shows.
    const std::string_view words = ColourWords(entry.Name);
    colour_box_->addItem(
        Swatch(entry.Value),
        QString::fromUtf8(words.data(), static_cast<int>(words.size())),
        entry.Value);
    colour_box_->setItemData(
        colour_box_->count() - 1,
        QString::fromUtf8(entry.Name.data(),
                          static_cast<int>(entry.Name.size())),
        Qt::ToolTipRole);
  }

  update_button_ = new QPushButton(QString::fromUtf8("更新"), this);
  update_button_->setObjectName("SpeedButton1");
  update_button_->setFlat(true);
  update_button_->setGeometry(120, 112 + 2 * kRowHeight, 65, 22);
  update_button_->setEnabled(false);
  cancel_button_ = new QPushButton(QString::fromUtf8("Cancel"), this);
  cancel_button_->setObjectName("SpeedButton2");
  cancel_button_->setFlat(true);
  cancel_button_->setGeometry(192, 112 + 2 * kRowHeight, 65, 22);
  ShowFocusOfFlatButton(update_button_);
  ShowFocusOfFlatButton(cancel_button_);
  setTabOrder(check_movies_box_, exif_date_box_);
  setTabOrder(exif_date_box_, raw_heif_mp4_box_);
  setTabOrder(raw_heif_mp4_box_, skip_imported_box_);
  setTabOrder(skip_imported_box_, colour_box_);

  // A change of a check box, by the user or by a load, enables "更新"; so
  // does the user's choice of a colour.
  connect(check_movies_box_, &QCheckBox::stateChanged, this,
          &DetailSettingsWindow::EnableUpdate);
  connect(exif_date_box_, &QCheckBox::stateChanged, this,
          &DetailSettingsWindow::EnableUpdate);
  connect(raw_heif_mp4_box_, &QCheckBox::stateChanged, this,
          &DetailSettingsWindow::EnableUpdate);
  connect(skip_imported_box_, &QCheckBox::stateChanged, this,
          &DetailSettingsWindow::EnableUpdate);
  connect(colour_box_, &QComboBox::activated, this,
          &DetailSettingsWindow::ColourPicked);
  connect(update_button_, &QPushButton::clicked, this,
          &DetailSettingsWindow::SaveAndUseValues);
  connect(cancel_button_, &QPushButton::clicked, this,
          &DetailSettingsWindow::reject);
  UseDetail(in_use_, loaded);
  ShowInControls(loaded);
}

DetailSettings DetailSettingsWindow::WindowCopy() const {
  return {check_movies_box_->isChecked(), exif_date_box_->isChecked(), colour_,
          raw_heif_mp4_box_->isChecked(), skip_imported_box_->isChecked()};
}

// A colour that the list does not hold leaves the box without a selection.
void DetailSettingsWindow::SelectColour(Colour colour) {
  colour_ = colour;
  colour_box_->setCurrentIndex(colour_box_->findData(colour));
}

void DetailSettingsWindow::ColourPicked(int index) {
  colour_ = static_cast<Colour>(colour_box_->itemData(index).toUInt());
  EnableUpdate();
}

void DetailSettingsWindow::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // Every showing starts from what the settings file holds.
  LoadDetailSettingsIntoControls();
}

void DetailSettingsWindow::LoadDetailSettingsIntoControls() {
  DetailSettings copy = WindowCopy();
  Settings in_use = in_use_;
  Status status =
      LoadDetailSettings(startup_folder_, in_use, copy, RealSystemCalls());
  ShowInControls(copy);
  UseValues(in_use);
  if (!status.ok()) ShowErrorReport(QString::fromStdString(status.message()));
}

void DetailSettingsWindow::ShowInControls(const DetailSettings& values) {
  check_movies_box_->setChecked(values.CheckMoviesByDefault);
  exif_date_box_->setChecked(values.UseExifDate);
  raw_heif_mp4_box_->setChecked(values.IncludeRawHeifMp4);
  skip_imported_box_->setChecked(values.SkipImported);
  SelectColour(values.TargetBackColour);
}

void DetailSettingsWindow::UseValues(const Settings& values) {
  in_use_ = values;
  emit DetailSettingsInUse(DetailOf(values));
}

void DetailSettingsWindow::EnableUpdate() { update_button_->setEnabled(true); }

void DetailSettingsWindow::SaveAndUseValues() {
  Settings in_use = in_use_;
  Status status = SaveDetailSettings(startup_folder_, WindowCopy(), in_use,
                                     RealSystemCalls());
  UseValues(in_use);
  if (!status.ok()) ShowErrorReport(QString::fromStdString(status.message()));
  accept();
}

}  // namespace kuronel
