#!/bin/sh
# The core folders stand below the windows: no file in them, test or not,
# includes a Qt header or anything from ui/, and their build files add
# nothing to the window library nor link Qt.
cd "$(dirname "$0")/.." || exit 2
core='exif catalogue processing settings platform'
status=0
includes=$(for folder in $core; do git ls-files "$folder/*.cpp" "$folder/*.h"; done |
           xargs grep -n -E '^\s*#\s*include\s*[<"](Q[A-Za-z]|qt|qpa/|ui/)')
if [ -n "$includes" ]; then
  echo "core files that include Qt or ui/:"
  echo "$includes"
  status=1
fi
builds=$(for folder in $core; do git ls-files "$folder/CMakeLists.txt" "$folder/*.cmake"; done |
         xargs grep -n -E 'kuronel_gui|Qt6|AUTOMOC|kuronel_add_qtest')
if [ -n "$builds" ]; then
  echo "core build files that reach the windows or Qt:"
  echo "$builds"
  status=1
fi
[ $status -eq 0 ] && echo "the core folders include and link nothing of Qt or ui/"
exit $status
