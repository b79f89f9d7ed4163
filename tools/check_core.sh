#!/bin/sh
# Checks that keep the core folders (exif, catalogue, processing, settings,
# platform) what they are:
#   seam    every system call of the core goes through SystemCalls: no file
#           but platform/system_calls.cpp calls the operating system's file,
#           listing, attribute, lock or directory calls by name, nor asks for
#           the process's user or number, the local time or a CP932
#           conversion (geteuid, getpid, localtime_r, iconv) itself;
#   layers  no file of the core, test or not, nor of the core's test
#           helpers in testing/, includes a Qt header, anything from ui/ or
#           the window tests' helpers in testing/qt/, and no build file of
#           the core or of those helpers reaches the window library or Qt;
#   order   the folders keep their layers (platform < exif, settings <
#           catalogue < processing < ui, tools): a file includes headers of
#           its own folder and of the folders below it only; test files
#           (x_test.cpp, x_test_support.h, and the screenshot tour in ui/,
#           which poses the windows with the test helpers) may also include
#           testing/ (its window helpers, testing/qt/, only those of ui/).
#           testing/, bench/ and fuzz/ stand beside the layers and may include
#           any of them. The build already refuses such an include in any
#           file it compiles (each layer's library sees only the headers of
#           those below it); this check reads every file, headers that no
#           source includes among them, and tells testing/qt/ from testing/.
cd "$(dirname "$0")/.." || exit 2
core='exif catalogue processing settings platform'

# The project's files matching the pathspecs given, as the working tree has
# them: tracked files still there, and new ones not yet added.
project_files() {
  git ls-files --cached --others --exclude-standard -- "$@" | sort -u |
    while IFS= read -r file; do [ -f "$file" ] && echo "$file"; done
}

# The core's files matching the patterns given (e.g. '*.cpp').
core_files() {
  for folder in $core; do
    for pattern in "$@"; do project_files "$folder/$pattern"; done
  done
}

# The core's test helpers in testing/ matching the patterns given: all of
# testing/ but the window tests' helpers in testing/qt/.
core_helper_files() {
  for pattern in "$@"; do project_files "testing/$pattern"; done |
    grep -v '^testing/qt/'
}

# Prints the title and the findings, and fails, when there are findings.
report() {
  [ -z "$2" ] && return 0
  echo "$1"
  echo "$2"
  return 1
}

check_seam() {
  calls='open|openat|creat|close|read|pread|write|pwrite|copy_file_range|lseek|ftruncate|truncate|posix_fadvise|readahead|fsync|fdatasync|syncfs|sync|stat|lstat|fstat|fstatat|statfs|fstatfs|mkdir|rename|renameat|renameat2|link|linkat|symlink|unlink|unlinkat|rmdir|readlink|chmod|fchmod|chown|fchown|futimens|utimensat|getxattr|setxattr|flock|fcntl|opendir|fdopendir|readdir|closedir|getcwd|chdir|mkstemp|mkostemp|mmap|dup|dup2|fopen|fclose|fgets|access|geteuid|getuid|getpid|localtime_r|localtime|iconv_open|iconv|iconv_close'
  found=$(core_files '*.cpp' '*.h' |
          grep -v -e '_test\.cpp$' -e '^platform/system_calls\.cpp$' |
          xargs grep -n -E "(^|[^A-Za-z0-9_.>:]|std::)(::)?($calls)[ ]*\(" |
          grep -v -E '^[^:]+:[0-9]+:\s*//')
  report "system calls outside SystemCalls:" "$found" &&
    echo "every system call of the core goes through SystemCalls"
}

check_layers() {
  includes=$( (core_files '*.cpp' '*.h'; core_helper_files '*.cpp' '*.h') |
             xargs grep -n -E \
               '^\s*#\s*include\s*[<"](Q[A-Za-z]|qt|qpa/|ui/|testing/qt/)')
  builds=$( (core_files CMakeLists.txt '*.cmake'
             core_helper_files CMakeLists.txt '*.cmake') |
           xargs grep -n -E 'kuronel_gui|kuronel_qt_testing|Qt6|AUTOMOC|kuronel_add_qtest')
  report "core files that include Qt, ui/ or testing/qt/:" "$includes"
  first=$?
  report "core build files that reach the windows or Qt:" "$builds" &&
    [ $first -eq 0 ] &&
    echo "the core folders and their test helpers include and link nothing of Qt, ui/ or testing/qt/"
}

# Prints "file:line: folder/header.h" for each include that reaches a folder
# the file's own layer may not use.
layer_breaches() {
  project_files 'platform/*' 'exif/*' 'settings/*' 'catalogue/*' \
      'processing/*' 'ui/*' 'tools/*' |
    grep -E '\.(h|cpp)$' |
    xargs grep -n -E '^\s*#\s*include\s*[<"][a-z_]+/' |
    awk '
      BEGIN {
        layer["platform"] = 0
        layer["exif"] = 1; layer["settings"] = 1
        layer["catalogue"] = 2
        layer["processing"] = 3
        layer["ui"] = 4; layer["tools"] = 4
        project["testing"] = 1; project["bench"] = 1; project["fuzz"] = 1
        for (folder in layer) project[folder] = 1
      }
      {
        file = substr($0, 1, index($0, ":") - 1)
        rest = substr($0, length(file) + 2)
        line = substr(rest, 1, index(rest, ":") - 1)
        match(rest, /[<"][a-z_]+\/[^>"]*/)
        header = substr(rest, RSTART + 1, RLENGTH - 1)
        used = substr(header, 1, index(header, "/") - 1)
        own = substr(file, 1, index(file, "/") - 1)
        if (!(used in project) || used == own) next
        is_test = file ~ /(_test\.cpp|_test_support\.h)$/ ||
                  file ~ /^ui\/screenshot_tour(_main)?\.cpp$/
        # testing/qt/, the helpers of the window tests, is for ui/ alone.
        window_helper = header ~ /^testing\/qt\//
        if (used == "testing" && is_test && (!window_helper || own == "ui"))
          next
        if ((used in layer) && layer[used] < layer[own]) next
        print file ":" line ": " header
      }'
}

check_order() {
  report "includes that break the layer order:" \
    "$(layer_breaches)" &&
    echo "every folder includes only its own and the layers below it"
}

case "$1" in
  seam) check_seam ;;
  layers) check_layers ;;
  order) check_order ;;
  *) echo "usage: check_core.sh seam|layers|order" >&2; exit 2 ;;
esac
