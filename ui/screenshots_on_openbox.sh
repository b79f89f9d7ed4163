#!/bin/sh
# Runs the screenshot tour (the command given) on the X display of xvfb-run
# once the window manager has started, so that every window is framed and
# its title bar shows its title.
openbox >/dev/null 2>&1 &
tries=0
until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do
  tries=$((tries + 1))
  if [ "$tries" -gt 100 ]; then
    echo "screenshots: the window manager did not start" >&2
    exit 1
  fi
  sleep 0.1
done
QT_QPA_PLATFORM=xcb LANG=C.UTF-8 TMPDIR=/var/tmp exec "$@"
