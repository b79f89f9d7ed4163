#ifndef KURONEL_UI_TOOL_ICONS_H_
#define KURONEL_UI_TOOL_ICONS_H_

#include <QIcon>

namespace kuronel {

// The 16 x 16 pictures of the main window's tool buttons, drawn in code so
// that they need no image files.
QIcon OpenFolderIcon();    // an open yellow folder
QIcon AddFolderIcon();     // an open folder with a red plus
QIcon ExecuteIcon();       // a black triangle pointing right in a square frame
QIcon HelpIcon();          // a red question mark on a yellow disc
QIcon ToolsIcon();         // a spanner and a screwdriver
QIcon ChooseFolderIcon();  // a list sheet with a red arrow pointing right

}  // namespace kuronel

#endif  // KURONEL_UI_TOOL_ICONS_H_
