#!/usr/bin/env bash
# The performance benchmark: builds the game and its helpers, measures them beside xscreensaver's screen hacks on Xvfb with openbox, and prints a table of medians.
#
# Usage: bench/run.sh
#   BENCH_RUNS=3                      runs per figure (the median is shown)
#   BENCH_SIZES="1920x1080 3840x2160" screens to measure on
#   BENCH_SECONDS=10                  length of each CPU window
#   BENCH_GAME=path/to/vortrane       measure another build of the game (default: build/bench-qt)
#   BENCH_WINDOWS=0                   leave out the Windows figures
#   BENCH_KEEP=dir                    keep every run's raw output there
# Every figure comes from the operating system's accounting (/proc) or from the X server's view
# of the windows; nothing is asserted. Each wait is bounded, and everything started here is
# stopped on exit.
set -euo pipefail
export LC_ALL=C.UTF-8

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
RUNS=${BENCH_RUNS:-3}
SIZES=${BENCH_SIZES:-1920x1080 3840x2160}
SECONDS_CPU=${BENCH_SECONDS:-10}
WITH_WINDOWS=${BENCH_WINDOWS:-1}
HACKS=(slidescreen decayscreen)
HACK_DIR=/usr/libexec/xscreensaver
WARNING_CAPTION='QX-Nembrolix Vortrane - Warning!'
BOARD_TITLE='QX-Nembrolix Vortrane'
CLK_TCK=$(getconf CLK_TCK)
started_at=$(date +%s)

log() { printf '[%s] %s\n' "$(date +%T)" "$*" >&2; }

# ---- Packages and builds -----------------------------------------------------------------

"$root/scripts/install-deps" build game e2e bench
log "building (Release, 2 jobs): build/bench, build/bench-qt"
cmake -S "$root" -B "$root/build/bench" -DCMAKE_BUILD_TYPE=Release -DVORTRANE_QT=OFF \
  -DVORTRANE_TESTS=OFF -DVORTRANE_BENCH=ON >/dev/null
cmake --build "$root/build/bench" -j2 --target core_bench >/dev/null
cmake -S "$root" -B "$root/build/bench-qt" -DCMAKE_BUILD_TYPE=Release -DVORTRANE_QT=ON \
  -DVORTRANE_TESTS=OFF -DVORTRANE_BENCH=ON >/dev/null
cmake --build "$root/build/bench-qt" -j2 --target vortrane empty_window probe >/dev/null
GAME=${BENCH_GAME:-$root/build/bench-qt/vortrane}
EMPTY=$root/build/bench-qt/bench/empty_window
PROBE=$root/build/bench-qt/bench/probe

# ---- Processes of our own, and cleaning up ----------------------------------------------

WORK=$(mktemp -d "${TMPDIR:-/tmp}/vortrane-bench.XXXXXX")
chmod 700 "$WORK"
started=()     # every process started here, stopped on exit
XVFB_PID=""
WINE_PREFIX_DIR=""

stop_pid() { # PID: asked first, then forced; never waits more than 2 s
  local pid=$1 i
  kill "$pid" 2>/dev/null || return 0
  for i in $(seq 40); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
  done
  kill -9 "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}

cleanup() {
  local status=$? pid
  for pid in "${started[@]}"; do stop_pid "$pid"; done
  if [[ -n $WINE_PREFIX_DIR && -d $WINE_PREFIX_DIR ]]; then
    WINEPREFIX=$WINE_PREFIX_DIR timeout 10 wineserver -k </dev/null >/dev/null 2>&1 || true
  fi
  if [[ -n ${BENCH_KEEP:-} ]]; then mkdir -p "$BENCH_KEEP" && cp -a "$WORK"/. "$BENCH_KEEP"/ 2>/dev/null || true; fi
  rm -rf "$WORK"
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

now_ns() { date +%s%N; }

# retry_until TIMEOUT_S COMMAND...: runs COMMAND every 50 ms until it succeeds.
retry_until() {
  local deadline=$(($(now_ns) + $1 * 1000000000))
  shift
  until "$@"; do
    (($(now_ns) < deadline)) || return 1
    sleep 0.05
  done
}

# utime + stime of a process, in clock ticks (the name in field 2 may hold spaces).
cpu_ticks() { sed 's/^.*) //' "/proc/$1/stat" | awk '{print $12 + $13}'; }

peak_kib() { awk '/^VmHWM:/ {print $2}' "/proc/$1/status"; }

# median of the numbers on stdin; "n/a" when there are none.
median() {
  sort -g | awk '{v[NR] = $1} END {
    if (NR == 0) { print "n/a"; exit }
    if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# record KEY VALUE: one measurement of one run; `values KEY` gives all of them.
record() { echo "$2" >>"$WORK/figures/$1"; }
values() { cat "$WORK/figures/$1" 2>/dev/null || true; }
figure() { values "$1" | median; }
mkdir -p "$WORK/figures"

# ---- The X server -------------------------------------------------------------------------

# start_screen WxH: Xvfb on a free display of :90-:99, openbox, a picture on the desktop.
start_screen() {
  local size=$1 n=""
  for candidate in 90 91 92 93 94 95 96 97 98 99; do
    [[ -e /tmp/.X$candidate-lock ]] && continue
    grep -q "@/tmp/.X11-unix/X$candidate\$" /proc/net/unix 2>/dev/null && continue
    n=$candidate
    break
  done
  [[ -n $n ]] || { log "no free display among :90-:99"; return 1; }
  Xvfb ":$n" -screen 0 "${size}x24" -nolisten tcp -noreset >"$WORK/xvfb.log" 2>&1 &
  XVFB_PID=$!
  started+=("$XVFB_PID")
  export DISPLAY=":$n"
  unset WAYLAND_DISPLAY XDG_SESSION_TYPE QT_QPA_PLATFORM QT_SCALE_FACTOR
  retry_until 10 xprop -root >/dev/null 2>&1 || { log "Xvfb :$n did not start: $(cat "$WORK/xvfb.log")"; return 1; }
  openbox >"$WORK/openbox.log" 2>&1 &
  started+=("$!")
  wm_ready() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
  retry_until 20 wm_ready || { log "openbox did not start"; return 1; }
  # A desktop with shapes on a gradient, so the hacks and the game have a picture to move.
  local w=${size%x*} h=${size#*x}
  convert -size "$size" gradient:'#2a4f6f'-'#6f4f2a' \
    -fill '#d8d4c0' -draw "rectangle $((w / 20)),$((h / 20)) $((w / 3)),$((h / 4))" \
    -fill '#b05050' -draw "circle $((w * 2 / 3)),$((h / 2)) $((w * 2 / 3 + h / 10)),$((h / 2))" \
    "$WORK/desktop.png"
  timeout 60 display -window root "$WORK/desktop.png" >/dev/null 2>&1 || true
  log "screen $size on :$n (Xvfb $XVFB_PID)"
}

stop_screen() {
  local pid
  for pid in "${started[@]}"; do stop_pid "$pid"; done
  started=()
  XVFB_PID=""
}

visible_window() { { xdotool search --onlyvisible --name "$1" 2>/dev/null || true; } | tail -n1; }
any_window() { { xdotool search --name "$1" 2>/dev/null || true; } | head -n1; }
viewable() { xwininfo -id "$1" 2>/dev/null | grep -q IsViewable; }
not_viewable() { ! viewable "$1"; }

# wait_visible NAME_REGEX TIMEOUT_S: prints the id of a visible window of that name.
wait_visible() {
  local id="" deadline=$(($(now_ns) + $2 * 1000000000))
  until id=$(visible_window "$1"); [[ -n $id ]]; do
    (($(now_ns) < deadline)) || return 1
    sleep 0.05
  done
  echo "$id"
}

press_in() { # WINDOW KEY
  timeout 5 xdotool windowactivate --sync "$1" >/dev/null 2>&1 || xdotool windowfocus "$1" 2>/dev/null || true
  xdotool key --clearmodifiers "$2"
}

# cpu_window PID...: CPU of each process over one window, in % of one core, on one line.
cpu_window() {
  local pid before=() after=() t0 t1 i
  for pid in "$@"; do before+=("$(cpu_ticks "$pid")"); done
  t0=$(now_ns)
  sleep "$SECONDS_CPU"
  for pid in "$@"; do after+=("$(cpu_ticks "$pid")"); done
  t1=$(now_ns)
  for i in "${!before[@]}"; do
    awk -v d=$((after[i] - before[i])) -v hz="$CLK_TCK" -v ns=$((t1 - t0)) \
      'BEGIN { printf "%.2f ", 100 * d / hz / (ns / 1e9) }'
  done
  echo
}

# ---- The game on Linux ----------------------------------------------------------------------

# game_run SIZE RUN: start-up to the play phase, then CPU, memory and ticks in play.
game_run() {
  local size=$1 run=$2 dir="$WORK/game-$size-$run"
  mkdir -p -m 700 "$dir/runtime" "$dir/data"
  VORTRANE_TRACE_TICKS=1 XDG_RUNTIME_DIR="$dir/runtime" XDG_DATA_HOME="$dir/data" "$GAME" >"$dir/game.log" 2>&1 &
  local game=$!
  started+=("$game")
  local box board image panel
  box=$(wait_visible "^$WARNING_CAPTION\$" 30) || { log "no content warning within 30 s"; stop_pid "$game"; return 1; }
  board=$(any_window "^$BOARD_TITLE\$")
  image=$(any_window '^Image1$')
  panel=$(any_window '^Panel1$')
  timeout 5 xdotool windowactivate --sync "$box" >/dev/null 2>&1 || true
  sleep 0.3  # the box painted and idle, as a player would find it
  "$PROBE" startup "$game" "$box" "$board" "$image" "$panel" 30000 >"$dir/startup" 2>&1 &
  local probe=$!
  started+=("$probe")
  retry_until 10 grep -q ready "$dir/startup" || { log "the probe did not start"; return 1; }
  local key_ns
  key_ns=$(now_ns)
  xdotool key --clearmodifiers Return
  if ! retry_until 5 not_viewable "$box"; then
    # The key went astray (the box did not have the focus yet): once more, timed from here.
    log "the content warning missed its key; pressing it again"
    key_ns=$(now_ns)
    press_in "$box" Return
  fi
  retry_until 40 bash -c "! kill -0 $probe 2>/dev/null" || stop_pid "$probe"
  wait "$probe" 2>/dev/null || true
  local shown_ns
  shown_ns=$(awk '/^shown_ns/ {print $2}' "$dir/startup")
  local gone_ns
  gone_ns=$(awk '/^box_gone_ns/ {print $2}' "$dir/startup")
  if [[ -n $shown_ns && $shown_ns != 0 ]]; then
    record "show_ms.$size" "$(awk -v a="$key_ns" -v b="$shown_ns" 'BEGIN { printf "%.0f", (b - a) / 1e6 }')"
    # The same from the box leaving the screen, leaving out how long the key takes to arrive.
    record "show_after_box_ms.$size" "$(awk -v a="$gone_ns" -v b="$shown_ns" 'BEGIN { printf "%.0f", (b - a) / 1e6 }')"
  fi
  local vt
  vt=$(wait_visible '^VT$' 30) || { log "no split box within 30 s"; stop_pid "$game"; return 1; }
  local intro_lines
  intro_lines=$(grep -c '^vortrane-tick ' "$dir/game.log" || true)
  press_in "$vt" Return
  retry_until 5 not_viewable "$vt" || { log "the split box stayed open"; stop_pid "$game"; return 1; }
  sleep 1
  [[ -z $(visible_window '^VT$') ]] || log "a box is open in the play phase"
  local before_lines cpu
  before_lines=$(grep -c '^vortrane-tick ' "$dir/game.log" || true)
  # The peak so far is the start-up's; from here on VmHWM counts the play phase alone.
  record "life_peak.$size" "$(peak_kib "$game")"
  echo 5 >"/proc/$game/clear_refs"
  cpu=$(cpu_window "$game" "$XVFB_PID")
  record "play_cpu.$size" "$(echo "$cpu" | awk '{print $1}')"
  record "play_x.$size" "$(echo "$cpu" | awk '{print $2}')"
  record "play_peak.$size" "$(peak_kib "$game")"
  cp "/proc/$game/status" "$dir/status-in-play"
  cp "/proc/$game/smaps" "$dir/smaps-in-play" 2>/dev/null || true
  "$PROBE" bursts "$game" 3000 >"$dir/bursts" 2>&1 || true
  local after_lines
  after_lines=$(grep -c '^vortrane-tick ' "$dir/game.log" || true)
  if ((after_lines > 9)); then
    # The game's own account of each tick (VORTRANE_TRACE_TICKS): "vortrane-tick TIMER MICROSECONDS".
    record "intro_tick_traced.$size" "$(grep '^vortrane-tick ' "$dir/game.log" | head -n "$((intro_lines < 8 ? intro_lines : 8))" |
      awk '$3 > m {m = $3} END {printf "%.1f", m / 1000}')"
    record "play_tick_traced.$size" "$(grep '^vortrane-tick ' "$dir/game.log" | sed -n "$((before_lines + 1)),${after_lines}p" |
      awk '$3 > m {m = $3} END {printf "%.2f", m / 1000}')"
  fi
  # From outside: an intro step runs from the burst of main-thread work under way when Panel1
  # is unmapped to Panel1's map coming back; a play tick is a burst of main-thread work.
  record "intro_tick.$size" "$(awk '/^intro_tick/ && $4 > m {m = $4} END {printf "%.1f", m / 1000}' "$dir/startup")"
  record "intro_tick_cpu.$size" "$(awk '/^intro_tick/ && $6 > m {m = $6} END {printf "%.1f", m / 1000}' "$dir/startup")"
  record "play_tick.$size" "$(awk '/^burst/ && $3 > m {m = $3} END {printf "%.2f", m / 1000}' "$dir/bursts")"
  record "play_tick_cpu.$size" "$(awk '/^burst/ && $5 > m {m = $5} END {printf "%.2f", m / 1000}' "$dir/bursts")"
  log "game $size run $run: show $(tail -n1 "$WORK/figures/show_ms.$size" 2>/dev/null) ms, CPU game/X $cpu%," \
    "peak $(peak_kib "$game") KiB, intro steps $(grep -c '^intro_tick' "$dir/startup") seen"
  stop_pid "$game"
}

hack_run() { # SIZE HACK
  local size=$1 hack=$2 pid cpu
  "$HACK_DIR/$hack" -root >"$WORK/$hack.log" 2>&1 &
  pid=$!
  started+=("$pid")
  sleep 3  # the grab and the first frames
  kill -0 "$pid" 2>/dev/null || { log "$hack ended early: $(head -c 300 "$WORK/$hack.log")"; return 1; }
  cpu=$(cpu_window "$pid" "$XVFB_PID")
  record "$hack.$size" "$(echo "$cpu" | awk '{print $1}')"
  record "$hack.x.$size" "$(echo "$cpu" | awk '{print $2}')"
  log "$hack $size: CPU hack/X $cpu%"
  stop_pid "$pid"
}

empty_run() { # SIZE
  local size=$1 pid id
  "$EMPTY" >"$WORK/empty.log" 2>&1 &
  pid=$!
  started+=("$pid")
  id=$(wait_visible '^vortrane-empty-window$' 20) || { log "the empty window did not show"; stop_pid "$pid"; return 1; }
  sleep 1
  record "floor.$size" "$(peak_kib "$pid")"
  cp "/proc/$pid/smaps" "$WORK/empty-$size.smaps" 2>/dev/null || true
  stop_pid "$pid"
}

# ---- The game under Wine ---------------------------------------------------------------------

EXE=$root/build/windows/vortrane.exe
windows_note=""
prepare_windows() {
  if [[ ! -f $EXE && -f $root/cmake/mingw-w64.cmake ]] && command -v x86_64-w64-mingw32-g++-posix >/dev/null 2>&1; then
    log "no build/windows/vortrane.exe: building build/bench-windows"
    if cmake -S "$root" -B "$root/build/bench-windows" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
      -DVORTRANE_QT=OFF -DVORTRANE_TESTS=OFF >/dev/null 2>&1 &&
      cmake --build "$root/build/bench-windows" -j2 >/dev/null 2>&1; then
      EXE=$(find "$root/build/bench-windows" -name vortrane.exe | head -n1)
    fi
  fi
  [[ -f $EXE ]] || { windows_note="no vortrane.exe (build/windows is empty and the cross-build failed or has no toolchain)"; return 1; }
}

# wine_run RUN: the .exe in the play phase on the 1080p screen; CPU of the game, X, wineserver.
wine_run() {
  local run=$1
  (
    set -euo pipefail
    source "$root/tests/e2e/windows/wine-lib.sh"
    vt_environment
    vt_new_prefix "$WINE_PREFIX_DIR"
    vt_warm_prefix
    "$VT_WINE" "$EXE" </dev/null >"$WORK/wine-game.log" 2>&1 &
    echo $! >"$WORK/wine-launcher.pid"
    vt_answer_box "$WARNING_CAPTION" Return 60
    vt_answer_box VT Return 30
    sleep 1
    # The process running the .exe, and this prefix's server, among any other Wine sessions.
    local pid game="" server=""
    for pid in $(pgrep -f 'vortrane\.exe' || true) $(pgrep wineserver || true); do
      tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINE_PREFIX_DIR" || continue
      if tr '\0' ' ' <"/proc/$pid/cmdline" | grep -q 'vortrane\.exe'; then game=$pid; else server=$pid; fi
    done
    [[ -n $game ]] || vt_fail "the game's process was not found"
    local cpu
    if [[ -n $server ]]; then cpu=$(cpu_window "$game" "$XVFB_PID" "$server"); else cpu="$(cpu_window "$game" "$XVFB_PID")n/a"; fi
    echo "$cpu" >"$WORK/wine-cpu"
  ) 2>>"$WORK/wine.log"
  local status=$?
  [[ -f $WORK/wine-launcher.pid ]] && stop_pid "$(cat "$WORK/wine-launcher.pid")"
  WINEPREFIX=$WINE_PREFIX_DIR timeout 10 wineserver -k </dev/null >/dev/null 2>&1 || true
  rm -rf "$WINE_PREFIX_DIR" "$WORK/wine-launcher.pid"
  ((status == 0)) && [[ -s $WORK/wine-cpu ]] || return 1
  local cpu
  cpu=$(cat "$WORK/wine-cpu")
  rm -f "$WORK/wine-cpu"
  record wine_cpu "$(echo "$cpu" | awk '{print $1}')"
  record wine_x "$(echo "$cpu" | awk '{print $2}')"
  record wine_server "$(echo "$cpu" | awk '{print $3}')"
  log "Wine run $run: CPU game/X/wineserver $cpu%"
}

windows_figures() {
  local i
  prepare_windows || return 0
  if [[ ! -f $root/tests/e2e/windows/wine-lib.sh ]]; then
    windows_note="no tests/e2e/windows/wine-lib.sh (the Wine prefix set-up)"
    return 0
  fi
  if ! command -v wine >/dev/null 2>&1; then
    windows_note="Wine is not installed (scripts/install-deps windows)"
    return 0
  fi
  WINE_PREFIX_DIR=$WORK/wineprefix
  for i in $(seq "$RUNS"); do
    wine_run "$i" || {
      windows_note="Wine run failed: $(grep -h 'FAIL' "$WORK/wine.log" | tail -n1)"
      return 0
    }
  done
}

# ---- Running everything ------------------------------------------------------------------

# How busy the whole machine is over one second (other people's builds and tests share it).
machine_busy() {
  local a b
  a=($(head -n1 /proc/stat))
  sleep 1
  b=($(head -n1 /proc/stat))
  local busy=$(((b[1] + b[2] + b[3] + b[6] + b[7]) - (a[1] + a[2] + a[3] + a[6] + a[7])))
  local all=$((busy + (b[4] + b[5]) - (a[4] + a[5])))
  awk -v b="$busy" -v a="$all" -v n="$(nproc)" 'BEGIN { printf "%.0f%% of %d cores", a ? 100 * b / a : 0, n }'
}
load_start="$(cut -d' ' -f1-3 /proc/loadavg), $(machine_busy) busy"
top_start=$(ps -eo pcpu=,comm= --sort=-pcpu | head -n3 | awk '{printf "%s %s%%; ", $2, $1}')
log "core benchmark"
"$root/build/bench/bench/core_bench" --benchmark_repetitions="$RUNS" --benchmark_report_aggregates_only=true \
  >"$WORK/core.txt" 2>"$WORK/core.err" || log "core_bench failed: $(tail -n3 "$WORK/core.err")"

first_size=${SIZES%% *}
for size in $SIZES; do
  start_screen "$size"
  for run in $(seq "$RUNS"); do game_run "$size" "$run" || log "game run $run at $size failed"; done
  for run in $(seq "$RUNS"); do
    for hack in "${HACKS[@]}"; do hack_run "$size" "$hack" || true; done
  done
  for run in $(seq "$RUNS"); do empty_run "$size" || true; done
  if [[ $size == "$first_size" && $WITH_WINDOWS == 1 ]]; then windows_figures; fi
  stop_screen
done
load_end="$(cut -d' ' -f1-3 /proc/loadavg), $(machine_busy) busy"

# ---- The table ----------------------------------------------------------------------------

# The median line of one benchmark (a single run has only the plain line).
core_line() { grep -E "^$1_median |^$1 " "$WORK/core.txt" | head -n1; }
core_figure() { core_line "$1" | awk -v col="$2" '{print $col, $(col + 1)}'; }
core_counter() { core_line "$1" | sed -n 's/.*allocations_per_tick=\([0-9.a-zA-Z]*\).*/\1/p'; }
mib() { awk -v k="$1" 'BEGIN { if (k == "n/a") print "n/a"; else printf "%.1f", k / 1024 }'; }
verdict() { awk "BEGIN { print (($1) ? \"met\" : \"MISSED\") }"; }
is_number() { [[ $1 =~ ^[0-9.]+$ ]]; }

row() { printf '%-44s %-18s %-18s %-28s %s\n' "$@"; }

sizes=($SIZES)
s1=${sizes[0]}
s2=${sizes[1]:-}
cell() { # KEY SIZE [SUFFIX_KEY]: median of one figure, with a second figure after a slash
  local a b
  a=$(figure "$1.$2")
  if [[ -n ${3:-} ]]; then b=$(figure "$3.$2"); echo "$a / $b"; else echo "$a"; fi
}

echo
echo "QX-Nembrolix Vortrane performance, $(date '+%Y-%m-%d %H:%M')"
echo "machine: $(lscpu | sed -n 's/^Model name: *//p' | head -n1), $(nproc) cores, $(awk '/MemTotal/ {printf "%.0f GiB", $2 / 1048576}' /proc/meminfo);" \
  "load average (1/5/15 min) $load_start at the start, $load_end at the end"
echo "busiest processes at the start (lifetime average): $top_start"
echo "each figure: median of $RUNS runs; CPU over ${SECONDS_CPU} s from /proc/PID/stat (utime+stime), % of one core;" \
  "memory: VmHWM from /proc/PID/status"
echo
row "figure" "$s1" "$s2" "target" "verdict"
row "------" "----" "----" "------" "-------"

g1=$(figure "play_cpu.$s1"); g2=$(figure "play_cpu.$s2")
v="n/a"
is_number "$g1" && is_number "$g2" && v=$(verdict "$g1 <= 1.0 && $g2 <= 1.0 && $g2 <= $g1")
row "play CPU, game" "$g1" "$g2" "<= 1.0, 4K <= 1080p" "$v"
x1=$(figure "play_x.$s1"); x2=$(figure "play_x.$s2")
sx1=$(figure "slidescreen.x.$s1"); sx2=$(figure "slidescreen.x.$s2")
v="n/a"
is_number "$x1" && is_number "$sx1" && is_number "$x2" && is_number "$sx2" && v=$(verdict "$x1 <= $sx1 && $x2 <= $sx2")
row "play CPU, X server with the game" "$x1" "$x2" "<= X with slidescreen" "$v"
for hack in "${HACKS[@]}"; do
  row "$hack: hack / X server" "$(cell "$hack" "$s1" "$hack.x")" "$(cell "$hack" "$s2" "$hack.x")" "(reference)" ""
done
i1=$(figure "intro_tick.$s1"); i2=$(figure "intro_tick.$s2")
v="n/a"; is_number "$i2" && v=$(verdict "$i2 <= 12")
if [[ -s $WORK/figures/intro_tick_traced.$s1 ]]; then
  t1=$(figure "intro_tick_traced.$s1"); t2=$(figure "intro_tick_traced.$s2")
  v="n/a"; is_number "$t2" && v=$(verdict "$t2 <= 12")
  row "longest intro tick, ms (game's own timing)" "$t1" "$t2" "<= 12 at 4K" "$v"
  row "longest play tick, ms (game's own timing)" "$(figure "play_tick_traced.$s1")" "$(figure "play_tick_traced.$s2")" "" ""
  v=""
fi
row "longest intro step seen, ms (wall / CPU)" "$i1 / $(figure "intro_tick_cpu.$s1")" "$i2 / $(figure "intro_tick_cpu.$s2")" "<= 12 at 4K" "$v"
row "longest play burst seen, ms (wall / CPU)" "$(cell play_tick "$s1" play_tick_cpu)" "$(cell play_tick "$s2" play_tick_cpu)" "" ""
p1=$(figure "show_ms.$s1"); p2=$(figure "show_ms.$s2")
v="n/a"; is_number "$p1" && is_number "$p2" && v=$(verdict "$p1 <= 100 && $p2 <= 200")
row "photograph and show, ms" "$p1" "$p2" "<= 100 / <= 200" "$v"
m1=$(figure "play_peak.$s1"); m2=$(figure "play_peak.$s2")
f1=$(figure "floor.$s1"); f2=$(figure "floor.$s2")
target_kib() { # FLOOR_KIB WxH
  local w=${2%x*} h=${2#*x}
  awk -v f="$1" -v w="$w" -v h="$h" 'BEGIN { if (f == "n/a") print "n/a"; else printf "%.0f", f + 1.25 * w * (h - 17) * 4 / 1024 }'
}
t1=$(target_kib "$f1" "$s1"); t2=$(target_kib "$f2" "$s2")
v="n/a"; is_number "$m1" && is_number "$t1" && is_number "$m2" && is_number "$t2" && v=$(verdict "$m1 <= $t1 && $m2 <= $t2")
row "peak resident in play, MiB" "$(mib "$m1")" "$(mib "$m2")" "<= floor + 1.25 photo" "$v"
row "  peak since start-up, MiB" "$(mib "$(figure "life_peak.$s1")")" "$(mib "$(figure "life_peak.$s2")")" "" ""
row "toolkit floor (empty full-screen), MiB" "$(mib "$f1")" "$(mib "$f2")" "" ""
row "  floor + 1.25 x W x (H-17) x 4, MiB" "$(mib "$t1")" "$(mib "$t2")" "" ""
tick=$(core_figure BM_PlayTick 2)
allocations=$(core_counter BM_PlayTick)
v="n/a"
if [[ -n $tick ]]; then
  tick_ns=$(echo "$tick" | awk '{v = $1; if ($2 == "us") v *= 1000; if ($2 == "ms") v *= 1e6; print v}')
  v=$(verdict "$tick_ns <= 1000 && ${allocations:-1} == 0")
fi
row "core: one play tick (simulated)" "${tick:-n/a}, ${allocations:-?} alloc" "" "<= 1 us, no allocation" "$v"
row "core: whole won game (simulated)" "$(core_figure BM_WholeWonGame 2)" "" "" ""
if [[ -f $EXE ]]; then
  bytes=$(stat -c %s "$EXE")
  dlls=$(x86_64-w64-mingw32-objdump -p "$EXE" 2>/dev/null | sed -n 's/^\s*DLL Name: //p' | sort -u | tr '\n' ' ')
  # What mingw-w64 would ship beside a program that is not linked statically.
  extra=$(tr ' ' '\n' <<<"$dlls" | grep -iE '^(lib.*|.*gcc.*|.*stdc\+\+.*|.*pthread.*)\.dll$' | tr '\n' ' ' || true)
  v=$(verdict "$bytes <= 1048576")
  [[ -z $extra ]] || v="MISSED (needs $extra)"
  row "vortrane.exe, KiB" "$((bytes / 1024))" "" "<= 1024, system DLLs only" "$v"
  echo "  imports: ${dlls:-?}"
else
  row "vortrane.exe, KiB" "n/a" "" "<= 1024" "n/a"
fi
if [[ -s $WORK/figures/wine_cpu ]]; then
  row "Wine play CPU: .exe / X / wineserver" "$(figure wine_cpu) / $(figure wine_x) / $(figure wine_server)" "" "" ""
else
  row "Wine play CPU: .exe / X / wineserver" "n/a" "" "" "${windows_note:-not measured}"
fi
echo
echo "runs (in order):"
for key in $(ls "$WORK/figures" | sort); do printf '  %-28s %s\n' "$key" "$(values "$key" | tr '\n' ' ')"; done
echo "seen: from outside the game (bench/probe: Panel1's map/unmap events, the main thread's /proc/PID/task/PID/schedstat);"
echo "  wall spans include waiting for the X server and for a CPU on this loaded machine"
echo "core_bench medians:"
grep -E '^BM_' "$WORK/core.txt" | grep -vE '_(mean|stddev|cv) ' | sed 's/^/  /' || true
echo "took $(($(date +%s) - started_at)) s: bench/run.sh"
