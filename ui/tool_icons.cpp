#include "ui/tool_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <functional>

namespace kuronel {
namespace {

const QColor kFolderYellow(0xF5, 0xC8, 0x42);
const QColor kFolderShade(0xC8, 0x96, 0x1E);
const QColor kOutline(0x50, 0x40, 0x10);
const QColor kRed(0xE0, 0x10, 0x10);

QIcon Draw(const std::function<void(QPainter&)>& paint) {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing, false);
  paint(painter);
  painter.end();
  return QIcon(pixmap);
}

void PaintOpenFolder(QPainter& p) {
  // Back of the folder with its tab.
  p.setPen(kOutline);
  p.setBrush(kFolderShade);
  p.drawPolygon(QPolygon({{1, 3}, {5, 3}, {6, 4}, {12, 4}, {12, 13}, {1, 13}}));
  // The open front, tilted.
  p.setBrush(kFolderYellow);
  p.drawPolygon(QPolygon({{3, 7}, {15, 7}, {12, 13}, {1, 13}}));
}

}  // namespace

QIcon OpenFolderIcon() { return Draw(PaintOpenFolder); }

QIcon AddFolderIcon() {
  return Draw([](QPainter& p) {
    PaintOpenFolder(p);
    p.setPen(Qt::NoPen);
    p.setBrush(kRed);
    p.drawRect(11, 0, 2, 6);  // the plus, top right
    p.drawRect(9, 2, 6, 2);
  });
}

QIcon ExecuteIcon() {
  return Draw([](QPainter& p) {
    p.setPen(Qt::black);
    p.setBrush(Qt::white);
    p.drawRect(1, 1, 13, 13);
    p.setBrush(Qt::black);
    p.drawPolygon(QPolygon({{5, 4}, {11, 8}, {5, 12}}));
  });
}

QIcon HelpIcon() {
  return Draw([](QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QColor(0xB0, 0x90, 0x00));
    p.setBrush(QColor(0xFF, 0xE0, 0x30));
    p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
    QFont font;
    font.setPixelSize(13);
    font.setBold(true);
    p.setFont(font);
    p.setPen(kRed);
    p.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, QStringLiteral("?"));
  });
}

QIcon ToolsIcon() {
  return Draw([](QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing, true);
    // A spanner from bottom left to top right.
    p.setPen(QPen(QColor(0x60, 0x60, 0x70), 2.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(3, 13), QPointF(10, 6));
    p.setBrush(QColor(0x60, 0x60, 0x70));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(11.5, 4.5), 3.5, 3.5);
    p.setBrush(Qt::transparent);
    p.setCompositionMode(QPainter::CompositionMode_Clear);
    p.drawRect(QRectF(11.5, 1, 3, 3));
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    // A screwdriver across it.
    p.setPen(QPen(QColor(0xC0, 0x30, 0x20), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(3, 3), QPointF(7, 7));
    p.setPen(QPen(QColor(0x90, 0x90, 0x90), 1.2));
    p.drawLine(QPointF(7, 7), QPointF(13, 13));
  });
}

QIcon ChooseFolderIcon() {
  return Draw([](QPainter& p) {
    p.setPen(QColor(0x40, 0x40, 0x40));
    p.setBrush(Qt::white);
    p.drawRect(1, 1, 10, 13);
    p.setPen(QColor(0x30, 0x50, 0xA0));
    for (int y = 4; y <= 11; y += 3) p.drawLine(3, y, 9, y);
    p.setPen(Qt::NoPen);
    p.setBrush(kRed);
    p.drawRect(7, 7, 5, 3);
    p.drawPolygon(QPolygon({{11, 4}, {15, 8}, {11, 12}}));
  });
}

}  // namespace kuronel
