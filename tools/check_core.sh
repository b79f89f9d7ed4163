#!/bin/sh
# Checks that keep the core folders (exif, catalogue, processing, settings,
# platform) what they are:
#   seam    every system call of the core goes through SystemCalls: no file
#           but platform/system_calls.cpp calls the operating system's file,
#           listing, attribute, lock or directory calls by name;
#   layers  no file of the core, test or not, includes a Qt header or
#           anything from ui/, and no build file of the core reaches the
#           window library or Qt.
cd "$(dirname "$0")/.." || exit 2
core='exif catalogue processing settings platform'

# The core's tracked files matching the patterns given (e.g. '*.cpp').
core_files() {
  for folder in $core; do
    for pattern in "$@"; do git ls-files "$folder/$pattern"; done
  done
}

# Prints the title and the findings, and fails, when there are findings.
report() {
  [ -z "$2" ] && return 0
  echo "$1"
  echo "$2"
  return 1
}

check_seam() {
  calls='open|openat|creat|close|read|pread|write|pwrite|copy_file_range|lseek|ftruncate|truncate|posix_fadvise|readahead|fsync|fdatasync|syncfs|sync|stat|lstat|fstat|fstatat|statfs|fstatfs|mkdir|rename|renameat|renameat2|link|linkat|symlink|unlink|unlinkat|rmdir|readlink|chmod|fchmod|chown|fchown|futimens|utimensat|getxattr|setxattr|flock|fcntl|opendir|fdopendir|readdir|closedir|getcwd|chdir|mkstemp|mkostemp|mmap|dup|dup2|fopen|fclose|fgets|access'
  found=$(core_files '*.cpp' '*.h' |
          grep -v -e '_test\.cpp$' -e '^platform/system_calls\.cpp$' |
          xargs grep -n -E "(^|[^A-Za-z0-9_.>:]|std::)(::)?($calls)[ ]*\(" |
          grep -v -E '^[^:]+:[0-9]+:\s*//')
  report "system calls outside SystemCalls:" "$found" &&
    echo "every system call of the core goes through SystemCalls"
}

check_layers() {
  includes=$(core_files '*.cpp' '*.h' |
             xargs grep -n -E '^\s*#\s*include\s*[<"](Q[A-Za-z]|qt|qpa/|ui/)')
  builds=$(core_files CMakeLists.txt '*.cmake' |
           xargs grep -n -E 'kuronel_gui|Qt6|AUTOMOC|kuronel_add_qtest')
  report "core files that include Qt or ui/:" "$includes"
  first=$?
  report "core build files that reach the windows or Qt:" "$builds" &&
    [ $first -eq 0 ] &&
    echo "the core folders include and link nothing of Qt or ui/"
}

case "$1" in
  seam) check_seam ;;
  layers) check_layers ;;
  *) echo "usage: check_core.sh seam|layers" >&2; exit 2 ;;
esac
