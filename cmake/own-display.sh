# Sourced by the test scripts that run a Wine session of their own: a virtual
# display for that session alone. Its windows then take no focus from another
# session's windows on a shared display, and the script needs no turn there.
#
#   own_display DIR   starts Xvfb (its number is written to DIR/display),
#                     exports DISPLAY and sets own_display_pid; fails when
#                     the display did not come up
own_display() {
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$1/display" >/dev/null 2>&1 &
  own_display_pid=$!
  for _ in $(seq 300); do [ -s "$1/display" ] && break; sleep 0.1; done
  [ -s "$1/display" ] || return 1
  export DISPLAY=:$(cat "$1/display")
}
