#include "ui/window_sizes.h"

#include <QScreen>
#include <QWidget>

namespace kuronel {

void RestoreWindowSize(QWidget& window,
                       const std::optional<WindowSize>& stored) {
  if (!stored) return;
  QSize size(stored->width, stored->height);
  // A size kept from a larger screen would put the window's edges out of
  // reach.
  if (const QScreen* screen = window.screen())
    size = size.boundedTo(screen->availableGeometry().size());
  window.resize(size.expandedTo(window.minimumSize()));
}

std::optional<WindowSize> WindowSizeToKeep(const QWidget& window,
                                           const QSize& designed,
                                           bool stored_before) {
  const bool enlarged = window.isMaximized() || window.isFullScreen();
  const QSize size = enlarged ? window.normalGeometry().size() : window.size();
  if (size.isEmpty() || (size == designed && !stored_before))
    return std::nullopt;
  return WindowSize{size.width(), size.height()};
}

}  // namespace kuronel
