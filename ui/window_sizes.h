#ifndef KURONEL_UI_WINDOW_SIZES_H_
#define KURONEL_UI_WINDOW_SIZES_H_

#include <QSize>
#include <optional>

#include "settings/settings.h"

class QWidget;

namespace kuronel {

// Gives `window` the size the user last left it at, as far as it fits its
// minimum size and the screen's room; a window without one keeps its
// designed size.
void RestoreWindowSize(QWidget& window,
                       const std::optional<WindowSize>& stored);

// The size to store for `window`: none while it still has its designed
// size and no size was stored before, so that a file is not changed by a
// window the user never resized. A maximised window keeps its size from
// before.
std::optional<WindowSize> WindowSizeToKeep(const QWidget& window,
                                           const QSize& designed,
                                           bool stored_before);

}  // namespace kuronel

#endif  // KURONEL_UI_WINDOW_SIZES_H_
