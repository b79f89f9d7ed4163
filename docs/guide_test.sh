#!/bin/sh
# guide_test.sh GUIDE...: in each copy of the user's guide, every link to a
# file leads to one that is there, every "#name" (also after a file) names an
# element of its page, every picture is there, and every state a row of the
# processing window can show is explained. Links to the web are not followed.
set -eu
fail=0
problem() { echo "FAIL: $*" >&2; fail=1; }

# The values of the attributes $2 (href, src, id) in the HTML file $1, one a
# line. The guide writes every attribute in double quotes.
attributes() {
  grep -o "[[:space:]]$2=\"[^\"]*\"" "$1" | sed "s/^[[:space:]]*$2=\"//; s/\"\$//" || true
}

check_guide() {
  guide=$1
  [ -f "$guide" ] || { problem "no guide at $guide"; return; }
  folder=$(dirname "$guide")
  ids=$(attributes "$guide" id)
  for picture in $(attributes "$guide" src); do
    [ -f "$folder/$picture" ] || problem "$guide: the picture $picture is missing"
  done
  for link in $(attributes "$guide" href); do
    case $link in
      http://* | https://* | mailto:*) continue ;;
    esac
    file=${link%%#*}
    anchor=
    case $link in *#*) anchor=${link#*#} ;; esac
    target=$guide
    if [ -n "$file" ]; then
      target=$folder/$file
      [ -f "$target" ] || { problem "$guide: the link $link leads to no file"; continue; }
    fi
    if [ -n "$anchor" ]; then
      attributes "$target" id | grep -qxF -- "$anchor" ||
        problem "$guide: the link $link names no element"
    fi
  done
  # An id given twice makes one of the links to it lead elsewhere.
  twice=$(printf '%s\n' "$ids" | sort | uniq -d)
  [ -z "$twice" ] || problem "$guide: ids given twice: $twice"
  for state in 未処理 重複 OK Ok CopyError! AttrError! ReadOnly DirError! \
               "file not found" DelError!; do
    grep -qF "<td>$state</td>" "$guide" ||
      problem "$guide: the state \"$state\" has no row in the table of states"
  done
}

[ $# -gt 0 ] || { echo "usage: guide_test.sh GUIDE..." >&2; exit 2; }
for guide in "$@"; do check_guide "$guide"; done
[ $fail -eq 0 ] || exit 1
echo "checked $#: no dead link, no missing picture"
