#ifndef KURONEL_UI_PROGRAM_ICON_H_
#define KURONEL_UI_PROGRAM_ICON_H_

#include <QIcon>

namespace kuronel {

// The application icon (a folder with a photo and a calendar sheet) in the
// sizes of the desktop's icon theme. The pictures are compiled into the
// program, so the icon shows also when the program runs from its build
// folder; the same pictures are installed for the desktop's menus.
QIcon ProgramIcon();

}  // namespace kuronel

#endif  // KURONEL_UI_PROGRAM_ICON_H_
