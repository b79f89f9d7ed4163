#include "ui/path_elision.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QStyle>

namespace kuronel {

QString ElidePath(const QString& path, const QFontMetrics& metrics, int width) {
  if (metrics.horizontalAdvance(path) <= width) return path;
  const qsizetype last = path.lastIndexOf('/');
  const qsizetype second = last > 0 ? path.lastIndexOf('/', last - 1) : -1;
  if (second > 0) {
    const QString tail = path.mid(second);
    const int room = width - metrics.horizontalAdvance(tail);
    if (room >= metrics.horizontalAdvance(QStringLiteral("…")))
      return metrics.elidedText(path.left(second), Qt::ElideRight, room) + tail;
  }
  return metrics.elidedText(path, Qt::ElideMiddle, width);
}

void PathColumnDelegate::paint(QPainter* painter,
                               const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
  QStyleOptionViewItem item = option;
  initStyleOption(&item, index);
  const QWidget* view = item.widget;
  QStyle* style = view != nullptr ? view->style() : QApplication::style();
  // The style draws the text inside these margins and would shorten it
  // again, in the middle, if it did not fit them.
  const int margin =
      style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
  const QRect text =
      style->subElementRect(QStyle::SE_ItemViewItemText, &item, view);
  item.text = ElidePath(item.text, item.fontMetrics, text.width() - 2 * margin);
  style->drawControl(QStyle::CE_ItemViewItem, &item, painter, view);
}

}  // namespace kuronel
