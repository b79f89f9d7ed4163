#!/bin/sh
# Every system call of the core goes through SystemCalls: no file of the core
# folders but platform/system_calls.cpp calls the operating system's file,
# listing, attribute, lock or directory calls by name.
cd "$(dirname "$0")/.." || exit 2
calls='open|openat|creat|close|read|pread|write|pwrite|copy_file_range|lseek|ftruncate|truncate|posix_fadvise|readahead|fsync|fdatasync|syncfs|sync|stat|lstat|fstat|fstatat|statfs|fstatfs|mkdir|rename|renameat|renameat2|link|linkat|symlink|unlink|unlinkat|rmdir|readlink|chmod|fchmod|chown|fchown|futimens|utimensat|getxattr|setxattr|flock|fcntl|opendir|fdopendir|readdir|closedir|getcwd|chdir|mkstemp|mkostemp|mmap|dup|dup2|fopen|fclose|fgets|access'
found=$(git ls-files 'platform/*.cpp' 'platform/*.h' 'exif/*.cpp' 'exif/*.h' \
          'catalogue/*.cpp' 'catalogue/*.h' 'processing/*.cpp' 'processing/*.h' \
          'settings/*.cpp' 'settings/*.h' |
        grep -v -e '_test\.cpp$' -e '^platform/system_calls\.cpp$' |
        xargs grep -n -E "(^|[^A-Za-z0-9_.>:]|std::)(::)?($calls)[ ]*\(" |
        grep -v -E '^[^:]+:[0-9]+:\s*//')
if [ -n "$found" ]; then
  echo "system calls outside SystemCalls:"
  echo "$found"
  exit 1
fi
echo "every system call of the core goes through SystemCalls"
