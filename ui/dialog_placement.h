#ifndef KURONEL_UI_DIALOG_PLACEMENT_H_
#define KURONEL_UI_DIALOG_PLACEMENT_H_

#include <functional>
#include <optional>
#include <string>

namespace kuronel {

// The arithmetic of the folder picker's window: where it opens and at which
// folder. Plain functions, so that they are tested without a window.

struct PixelRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

struct PixelPoint {
  int left = 0;
  int top = 0;
  bool operator==(const PixelPoint&) const = default;
};

enum class TDialogPosition {
  dpCustom,
  dpDesktopCenter,
  dpOwnerCenter,
  dpScreenCenter,
  dpDefault
};

struct PlacementInput {
  TDialogPosition position = TDialogPosition::dpScreenCenter;
  int width = 0;  // the dialog's size
  int height = 0;
  PixelPoint custom;                   // DialogLeft, DialogTop
  std::optional<PixelRect> owner;      // the owner window, when there is one
  PixelRect screen;                    // the screen the dialog opens on
  std::optional<PixelRect> work_area;  // the screen less the task bar
  PixelRect desktop;                   // every screen together
};

// The top-left corner of the dialog; nullopt for dpDefault, where the window
// system places it. Centring halves with integer division rounded toward
// zero; over the owner the result is kept on the screen (left) and above the
// bottom of the work area (top).
std::optional<PixelPoint> DialogPlacement(const PlacementInput& input);

// The folder the picker opens at: `path` itself when it is an existing
// folder, else its nearest existing parent (shortened at each "/" from the
// end, the trailing one excluded; the separator stays), else empty.
std::string InitialFolder(
    const std::string& path,
    const std::function<bool(const std::string&)>& is_directory);

}  // namespace kuronel

#endif  // KURONEL_UI_DIALOG_PLACEMENT_H_
