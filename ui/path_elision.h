#ifndef KURONEL_UI_PATH_ELISION_H_
#define KURONEL_UI_PATH_ELISION_H_

#include <QString>
#include <QStyledItemDelegate>

class QFontMetrics;

namespace kuronel {

// `path` shortened to `width` pixels: whole when it fits; else its last two
// names (the date folder and the file, or the card's folder and the photo)
// whole, after as much of its start as fits and "…"; when not even those
// two fit, shortened in the middle.
QString ElidePath(const QString& path, const QFontMetrics& metrics, int width);

// Draws a list column of paths shortened by ElidePath.
class PathColumnDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
};

}  // namespace kuronel

#endif  // KURONEL_UI_PATH_ELISION_H_
