#include "ui/status_line.h"

#include <QLabel>

#include "ui/input_discard.h"

namespace kuronel {
namespace {

constexpr qint64 kPaintIntervalMs = 30;

}  // namespace

StatusLine::StatusLine(QLabel* label) : label_(label) {}

void StatusLine::Show(const QString& text) {
  has_waiting_ = false;
  Paint(text);
}

StatusSink StatusLine::ProgressSink() {
  return [this](const std::string& text) {
    ShowProgress(QString::fromStdString(text));
  };
}

void StatusLine::ShowProgress(const QString& text) {
  if (since_paint_.isValid() && since_paint_.elapsed() < kPaintIntervalMs) {
    waiting_ = text;
    has_waiting_ = true;
    return;
  }
  Show(text);
}

void StatusLine::Flush() {
  if (has_waiting_) Show(waiting_);
}

QString StatusLine::Text() const {
  return has_waiting_ ? waiting_ : label_->text();
}

void StatusLine::Paint(const QString& text) {
  label_->setText(text);
  label_->repaint();
  since_paint_.start();
  ProcessWindowEvents();
}

}  // namespace kuronel
