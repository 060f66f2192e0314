# Shared by the end-to-end scripts: checks the tools, starts Xvfb on a display of its own and
# gives `within` and `fail`. Source it after setting `cleanup` (run on exit before Xvfb stops).
# Exports DISPLAY and XDG_RUNTIME_DIR; `$runtime` is a scratch folder removed on exit.
for tool in Xvfb xdotool; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done

fail() { echo "FAILED: $*"; exit 1; }

# Polls `$@` every 0.2 s for at most $1 seconds.
within() {
  local seconds=$1; shift
  for ((i = 0; i < seconds * 5; i++)); do
    "$@" && return 0
    sleep 0.2
  done
  return 1
}

# Waits at most $1 seconds for the process $pid to end, running "$3" (if given) before each
# look, and fails with "$2" if it does not; then sets `code` to its exit status and clears
# `pid`, so that `cleanup` leaves it alone.
awaitExit() {
  within "$1" bash -c "${3:-true}; ! kill -0 $pid 2>/dev/null" || fail "$2"
  wait "$pid"
  code=$?
  pid=
}

xvfb=
runtime=$(mktemp -d)
trap 'cleanup; [[ -n $xvfb ]] && kill $xvfb 2>/dev/null; rm -rf "$runtime"' EXIT

# Xvfb picks a free display number itself and writes it to the pipe once it accepts
# connections, so scripts running side by side never meet on one display. The screen size is
# $XVFB_SCREEN (default 1024x768); $XVFB_SECOND_SCREEN, when set, adds a second X screen of that
# size (display :N.1), which Qt lists as a second screen. Without -noreset the server starts
# itself afresh each time its last client leaves, and a program started just then cannot connect.
mkfifo "$runtime/display"
screens=(-screen 0 "${XVFB_SCREEN:-1024x768}x24")
[[ -n ${XVFB_SECOND_SCREEN:-} ]] && screens+=(-screen 1 "${XVFB_SECOND_SCREEN}x24")
Xvfb -displayfd 3 "${screens[@]}" -nolisten tcp -noreset 3>"$runtime/display" >/dev/null 2>&1 &
xvfb=$!
number=
read -r -t 20 number <"$runtime/display"
[[ $number =~ ^[0-9]+$ ]] || fail "Xvfb did not start"
display=:$number

export DISPLAY=$display XDG_RUNTIME_DIR=$runtime
export ASAN_OPTIONS=detect_leaks=0
unset QT_QPA_PLATFORM
