#!/usr/bin/env bash
# Beatwick at rest: its share of a core and its wake-ups a second over a stretch of time (10 s
# unless IDLE_SECONDS says otherwise) with the stand-in player playing, then paused, then with no
# track (the player gone). Everything runs on a private session bus, in a HOME of its own, under
# Xvfb when it is installed and on Qt's offscreen platform otherwise. Build first (build/, or
# BUILD_DIR); the goal is at most 1% of a core and 25 wake-ups a second.
#
# CPU share: utime + stime of /proc/PID/stat; wake-ups: the voluntary and involuntary context
# switches of every thread (/proc/PID/task/*/status).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
seconds=${IDLE_SECONDS:-10}

for program in "$build/Beatwick" "$build/player-standin"; do
  [ -x "$program" ] || { echo "idle.sh: $program is missing; build first" >&2; exit 1; }
done

if [ -z "${BEATWICK_IDLE_BUS:-}" ]; then
  export BEATWICK_IDLE_BUS=1
  exec dbus-run-session -- "$0" "$@"
fi

home=$(mktemp -d)
pids=()
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$home"
}
trap cleanup EXIT
export HOME=$home XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data
unset DISPLAY WAYLAND_DISPLAY

if command -v Xvfb >/dev/null; then
  # Xvfb picks a free display and writes its number once it accepts clients.
  Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x800x24 3>"$home/display" >/dev/null 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do
    [ -s "$home/display" ] && break
    sleep 0.1
  done
  [ -s "$home/display" ] || { echo "idle.sh: Xvfb did not start" >&2; exit 1; }
  export DISPLAY=":$(tr -d '[:space:]' <"$home/display")" QT_QPA_PLATFORM=xcb
  where="Xvfb $DISPLAY"
else
  export QT_QPA_PLATFORM=offscreen
  where="offscreen"
fi

owned() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner "string:$1" 2>/dev/null | grep -q 'boolean true'
}
wait_owned() {
  local _
  for _ in $(seq 100); do
    owned "$1" && return 0
    sleep 0.1
  done
  echo "idle.sh: nobody took $1" >&2
  exit 1
}
ctl() { "$build/player-standin" --ctl "$@" >/dev/null; }

"$build/player-standin" >/dev/null 2>&1 &
pids+=($!)
wait_owned com.apple.iTunes
ctl play
"$build/Beatwick" >/dev/null 2>&1 &
beatwick=$!
pids+=("$beatwick")
wait_owned com.orvo.Beatwick

ticks_per_second=$(getconf CLK_TCK)
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$beatwick/stat"; }
switches() {
  cat /proc/"$beatwick"/task/*/status 2>/dev/null |
    awk '/^(voluntary|nonvoluntary)_ctxt_switches:/ { n += $2 } END { print n + 0 }'
}

met=yes
measure() {
  sleep 2  # the window settles after the change
  local ticks0 switches0 ticks1 switches1
  ticks0=$(cpu_ticks)
  switches0=$(switches)
  sleep "$seconds"
  ticks1=$(cpu_ticks)
  switches1=$(switches)
  awk -v label="$1" -v t="$((ticks1 - ticks0))" -v s="$((switches1 - switches0))" \
      -v hz="$ticks_per_second" -v secs="$seconds" 'BEGIN {
    cpu = 100 * t / hz / secs; wakeups = s / secs
    printf "%-9s %6.2f %% of a core  %7.1f wake-ups/s\n", label, cpu, wakeups
    exit (cpu <= 1 && wakeups <= 25) ? 0 : 1
  }' || met=no
}

echo "Beatwick at rest on $where, ${seconds} s each:"
measure playing
ctl pause
measure paused
ctl quit
measure "no track"
echo "goal (at most 1 % of a core and 25 wake-ups/s) met: $met"
[ "$met" = yes ]
