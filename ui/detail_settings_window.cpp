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

TForm3::TForm3(std::string startup_folder, const DetailSettings& loaded,
               QWidget* parent)
    : QDialog(parent), startup_folder_(std::move(startup_folder)) {
  setObjectName("Form3");
  setWindowTitle(QString::fromUtf8("詳細設定"));
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
  resize(kClientWidth, kClientHeight);
  move(180, 116);

  CheckBox2 = new QCheckBox(
      QString::fromUtf8("動画ファイルを標準でCheck【.mov，.avi，.mpg】"), this);
  CheckBox2->setObjectName("CheckBox2");
  CheckBox2->setGeometry(8, 8, 265, 17);
  CheckBox3 = new QCheckBox(QString::fromUtf8("Exif情報を反映"), this);
  CheckBox3->setObjectName("CheckBox3");
  CheckBox3->setGeometry(8, 32, 265, 17);
  CheckBox4 =
      new QCheckBox(QString::fromUtf8("RAW・HEIF・MP4も対象にする"), this);
  CheckBox4->setObjectName("CheckBox4");
  CheckBox4->setGeometry(8, 56, 265, 17);
  CheckBox5 = new QCheckBox(QString::fromUtf8("取り込み済みは飛ばす"), this);
  CheckBox5->setObjectName("CheckBox5");
  CheckBox5->setGeometry(8, 56 + kRowHeight, 265, 17);
  GroupBox1 = new QGroupBox(QString::fromUtf8("対象ファイル背景色"), this);
  GroupBox1->setObjectName("GroupBox1");
  GroupBox1->setGeometry(8, 56 + 2 * kRowHeight, 265, 49);

  ColorBox1 = new QComboBox(GroupBox1);
  ColorBox1->setObjectName("ColorBox1");
  // From the group's left edge: the longest words fit whole.
  ColorBox1->setGeometry(8, 19, 249, 22);
  ColorBox1->setIconSize(QSize(14, 10));
  for (const ColourTableEntry& entry : ColourTable) {
    if (entry.Value == kClNone || entry.Value == kClDefault) continue;
    // Words a user reads; the settings file keeps the name, which the
    // item's tip shows.
    const std::string_view words = ColourWords(entry.Name);
    ColorBox1->addItem(
        Swatch(entry.Value),
        QString::fromUtf8(words.data(), static_cast<int>(words.size())),
        entry.Value);
    ColorBox1->setItemData(
        ColorBox1->count() - 1,
        QString::fromUtf8(entry.Name.data(),
                          static_cast<int>(entry.Name.size())),
        Qt::ToolTipRole);
  }

  SpeedButton1 = new QPushButton(QString::fromUtf8("更新"), this);
  SpeedButton1->setObjectName("SpeedButton1");
  SpeedButton1->setFlat(true);
  SpeedButton1->setGeometry(120, 112 + 2 * kRowHeight, 65, 22);
  SpeedButton1->setEnabled(false);
  SpeedButton2 = new QPushButton(QString::fromUtf8("Cancel"), this);
  SpeedButton2->setObjectName("SpeedButton2");
  SpeedButton2->setFlat(true);
  SpeedButton2->setGeometry(192, 112 + 2 * kRowHeight, 65, 22);
  ShowFocusOfFlatButton(SpeedButton1);
  ShowFocusOfFlatButton(SpeedButton2);
  setTabOrder(CheckBox2, CheckBox3);
  setTabOrder(CheckBox3, CheckBox4);
  setTabOrder(CheckBox4, CheckBox5);
  setTabOrder(CheckBox5, ColorBox1);

  // A change of a check box, by the user or by a load, enables "更新"; so
  // does the user's choice of a colour.
  connect(CheckBox2, &QCheckBox::stateChanged, this, &TForm3::SubOptionClick);
  connect(CheckBox3, &QCheckBox::stateChanged, this, &TForm3::SubOptionClick);
  connect(CheckBox4, &QCheckBox::stateChanged, this, &TForm3::SubOptionClick);
  connect(CheckBox5, &QCheckBox::stateChanged, this, &TForm3::SubOptionClick);
  connect(ColorBox1, &QComboBox::activated, this, &TForm3::ColourPicked);
  connect(SpeedButton1, &QPushButton::clicked, this, &TForm3::SpeedButton1Click);
  connect(SpeedButton2, &QPushButton::clicked, this, &TForm3::SpeedButton2Click);
  UseDetail(in_use_, loaded);
  ShowInControls(loaded);
}

DetailSettings TForm3::WindowCopy() const {
  return {CheckBox2->isChecked(), CheckBox3->isChecked(), colour_,
          CheckBox4->isChecked(), CheckBox5->isChecked()};
}

// A colour that the list does not hold leaves the box without a selection.
void TForm3::SelectColour(Colour colour) {
  colour_ = colour;
  ColorBox1->setCurrentIndex(ColorBox1->findData(colour));
}

void TForm3::ColourPicked(int index) {
  colour_ = static_cast<Colour>(ColorBox1->itemData(index).toUInt());
  SubOptionClick();
}

void TForm3::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormActivate();
}

// Every showing starts from what the settings file holds.
void TForm3::FormActivate() { LoadDetailSettingsIntoControls(); }

void TForm3::LoadDetailSettingsIntoControls() {
  DetailSettings copy = WindowCopy();
  Settings in_use = in_use_;
  Status status = LoadDetailSettings(startup_folder_, in_use, copy,
                                     RealSystemCalls());
  ShowInControls(copy);
  UseValues(in_use);
  if (!status.ok()) ShowErrorReport(QString::fromStdString(status.message()));
}

void TForm3::ShowInControls(const DetailSettings& values) {
  CheckBox2->setChecked(values.CheckMoviesByDefault);
  CheckBox3->setChecked(values.UseExifDate);
  CheckBox4->setChecked(values.IncludeRawHeifMp4);
  CheckBox5->setChecked(values.SkipImported);
  SelectColour(values.TargetBackColour);
}

void TForm3::UseValues(const Settings& values) {
  in_use_ = values;
  emit DetailSettingsInUse(DetailOf(values));
}

void TForm3::SubOptionClick() { SpeedButton1->setEnabled(true); }

void TForm3::SpeedButton1Click() {
  Settings in_use = in_use_;
  Status status = SaveDetailSettings(startup_folder_, WindowCopy(), in_use,
                                     RealSystemCalls());
  UseValues(in_use);
  if (!status.ok()) ShowErrorReport(QString::fromStdString(status.message()));
  accept();
}

void TForm3::SpeedButton2Click() { reject(); }

}  // namespace kuronel
