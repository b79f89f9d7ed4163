#include "ui/destination_input_box.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace kuronel {
namespace {

// Room for a usual path such as /media/user/CARD/DCIM/100CANON/.
constexpr int kFieldWidth = 400;

}  // namespace

TDestinationInputBox::TDestinationInputBox(QWidget* parent) : QDialog(parent) {
  setObjectName("DestinationInputBox");
  setWindowTitle(QString::fromUtf8("移動先フォルダ入力"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  prompt_ =
      new QLabel(QString::fromUtf8("移動先フォルダを入力してください"), this);
  field_ = new QLineEdit(this);
  field_->setObjectName("DestinationField");
  field_->setMinimumWidth(kFieldWidth);
  reason_ = new QLabel(this);
  reason_->setObjectName("ReasonLabel");
  reason_->hide();
  // The reason speaks of the text that came back; once it is changed, the
  // reason no longer holds.
  connect(field_, &QLineEdit::textChanged, this,
          [this] { SetReason(QString()); });
  auto* buttons = new QDialogButtonBox(
      QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(prompt_);
  layout->addWidget(field_);
  layout->addWidget(reason_);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

QString TDestinationInputBox::Prompt() const { return prompt_->text(); }

QString TDestinationInputBox::Text() const { return field_->text(); }

void TDestinationInputBox::SetText(const QString& text) {
  field_->setText(text);
  field_->selectAll();
}

QString TDestinationInputBox::Reason() const { return reason_->text(); }

void TDestinationInputBox::SetReason(const QString& reason) {
  reason_->setText(reason);
  reason_->setVisible(!reason.isEmpty());
}

}  // namespace kuronel
