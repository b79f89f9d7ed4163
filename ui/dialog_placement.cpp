#include "ui/dialog_placement.h"

namespace kuronel {
namespace {

PixelPoint CentreOn(const PixelRect& area, int width, int height) {
  return {area.left + area.width / 2 - width / 2,
          area.top + area.height / 2 - height / 2};
}

}  // namespace

std::optional<PixelPoint> DialogPlacement(const PlacementInput& input) {
  switch (input.position) {
    case TDialogPosition::dpCustom:
      return input.custom;
    case TDialogPosition::dpDesktopCenter:
      return CentreOn(input.desktop, input.width, input.height);
    case TDialogPosition::dpScreenCenter:
      return CentreOn(input.screen, input.width, input.height);
    case TDialogPosition::dpDefault:
      return std::nullopt;
    case TDialogPosition::dpOwnerCenter:
      break;
  }
  if (!input.owner) return CentreOn(input.screen, input.width, input.height);
  PixelPoint point = CentreOn(*input.owner, input.width, input.height);
  if (point.left < 0) {
    point.left = 0;
  } else if (point.left + input.width > input.screen.width) {
    point.left = input.screen.width - input.width;
  }
  const int bottom = input.work_area
                         ? input.work_area->top + input.work_area->height
                         : input.screen.height;
  if (point.top < 0) {
    point.top = 0;
  } else if (point.top + input.height > bottom) {
    point.top = bottom - input.height;
  }
  return point;
}

std::string InitialFolder(
    const std::string& path,
    const std::function<bool(const std::string&)>& is_directory) {
  std::string folder = path;
  while (!folder.empty() && !is_directory(folder)) {
    // Look for a separator before the last character; the root's own "/"
    // counts, so /a/ shortens to /.
    size_t separator = folder.size() >= 2
                           ? folder.find_last_of('/', folder.size() - 2)
                           : std::string::npos;
    folder = separator == std::string::npos ? std::string()
                                            : folder.substr(0, separator + 1);
  }
  return folder;
}

}  // namespace kuronel
