# Shared helpers of the Wine tests: the test prefix, a private X display, bounded waits, boxes.
# Sourced by the scripts beside it; every wait has a deadline so no test can hang.

vt_here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# Settings every test prefix gets. Without Managed=N each closed box blocks the thread for
# 2 s; the replacements give the Japanese faces a font that has the glyphs.
vt_prefix_settings() {
  cat <<'EOF'
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"Tahoma"="VL PGothic"
"MS PGothic"="VL PGothic"
"ＭＳ Ｐゴシック"="VL PGothic"
"MS UI Gothic"="VL PGothic"

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000
EOF
}

vt_environment() {
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono or Gecko installer during wineboot
  # Without a generated ja_JP locale a Japanese LANG makes window names unreadable to xdotool.
  export LANG=C.UTF-8 LC_ALL=C.UTF-8
  unset WINEARCH WINELOADER
  VT_WINE=${VT_WINE:-wine}
}

# Where prepared prefixes are kept between runs.
vt_state_dir() {
  local dir=${VORTRANE_WINE_STATE:-${TMPDIR:-/tmp}/vortrane-wine-$(id -u)}
  mkdir -p "$dir"
  printf '%s\n' "$dir"
}

vt_log() { printf '[%s] %s\n' "$(date +%T)" "$*" >&2; }
vt_fail() { vt_log "FAIL: $*"; exit 1; }

# Starts Xvfb on a display no one uses; sets DISPLAY and VT_XVFB_PID. The number is chosen
# here, free both as a lock file and as an abstract socket (which other mount namespaces on the
# machine share): Xvfb's own search looks only at lock files. The server writes the number to
# fd 3 once it takes clients.
vt_start_display() {
  local size=${1:-1024x768x24} fd_file attempt n i
  fd_file=$(mktemp)
  for attempt in $(seq 30); do
    n=$((100 + RANDOM % 900))
    [[ ! -e /tmp/.X$n-lock ]] || continue
    ! grep "@/tmp/.X11-unix/X$n\$" /proc/net/unix >/dev/null 2>&1 || continue
    : >"$fd_file"
    Xvfb ":$n" -displayfd 3 -screen 0 "$size" -nolisten tcp -noreset 3>"$fd_file" >/dev/null 2>&1 &
    VT_XVFB_PID=$!
    for i in $(seq 1 100); do
      [[ -s $fd_file ]] && break 2
      kill -0 "$VT_XVFB_PID" 2>/dev/null || break
      sleep 0.1
    done
    kill -9 "$VT_XVFB_PID" 2>/dev/null || true
    wait "$VT_XVFB_PID" 2>/dev/null || true
    VT_XVFB_PID=
  done
  rm -f "$fd_file"
  [[ -n $VT_XVFB_PID ]] || vt_fail "Xvfb did not start"
  export DISPLAY=:$n
}

vt_stop_display() {
  if [[ -n ${VT_XVFB_PID:-} ]]; then
    kill "$VT_XVFB_PID" 2>/dev/null || true
    wait "$VT_XVFB_PID" 2>/dev/null || true
    VT_XVFB_PID=
  fi
}

# Runs a wineserver for WINEPREFIX apart from the caller's output: one started by wine
# itself inherits the output pipe and keeps a test runner waiting for it to close.
vt_start_server() {
  local persist=${1:-}
  wineserver "-p$persist" </dev/null >/dev/null 2>&1 || true
}

# Starts the prefix's server and its system processes with no tie to the caller's output.
vt_warm_prefix() {
  vt_start_server "${1:-}"
  timeout 60 "$VT_WINE" cmd /c exit </dev/null >/dev/null 2>&1 || true
}

vt_stop_server() {
  [[ -n ${WINEPREFIX:-} && -d ${WINEPREFIX:-} ]] || return 0
  timeout 10 wineserver -k </dev/null >/dev/null 2>&1 || true
  timeout 10 wineserver -w </dev/null >/dev/null 2>&1 || true
}

# A fresh prefix with the test settings, made once per Wine version and settings, and
# copied for each test (copying takes about 2 s, creating about 15 s).
vt_template_prefix() {
  local state stamp template lock
  state=$(vt_state_dir)
  stamp="$(wine --version 2>/dev/null) $(vt_prefix_settings | md5sum | cut -c1-12)"
  template=$state/template
  lock=$state/template.lock
  (
    flock -w 300 9 || vt_fail "waited too long for another run to prepare the Wine prefix"
    if [[ -f $template/.vortrane-stamp && $(cat "$template/.vortrane-stamp") == "$stamp" ]]; then
      exit 0
    fi
    rm -rf "$template" "$template.new"
    vt_log "preparing a Wine prefix (once): $template"
    local settings
    settings=$(mktemp --suffix=.reg)
    # regedit reads non-ASCII names only from a UTF-16 file.
    { printf '\xff\xfe'; vt_prefix_settings | sed 's/$/\r/' | iconv -f UTF-8 -t UTF-16LE; } >"$settings"
    (
      export WINEPREFIX=$template.new
      # Its own display: booting without one crashes a helper, and no other prefix may
      # share a display with this one.
      vt_start_display 800x600x24
      trap vt_stop_display EXIT
      vt_start_server 5
      timeout 180 wineboot -i </dev/null >/dev/null 2>&1 || vt_fail "wineboot failed"
      timeout 60 "$VT_WINE" regedit /S "$(winepath -w "$settings" 2>/dev/null)" \
        </dev/null >/dev/null 2>&1 || vt_fail "could not apply the prefix settings"
      timeout 60 wineserver -w </dev/null >/dev/null 2>&1 || true
    ) || { rm -f "$settings"; exit 1; }
    rm -f "$settings"
    grep -q '"Managed"="N"' "$template.new/user.reg" || vt_fail "prefix settings missing"
    printf '%s' "$stamp" >"$template.new/.vortrane-stamp"
    mv "$template.new" "$template"
  ) 9>"$lock" || exit 1
  printf '%s\n' "$template"
}

# Copies the prepared prefix to $1 and points WINEPREFIX at it.
vt_new_prefix() {
  local template
  template=$(vt_template_prefix) || exit 1
  cp -a "$template" "$1"
  export WINEPREFIX=$1
}

vt_require_tools() {
  local tool missing=()
  for tool in "$@"; do
    command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
  done
  if ((${#missing[@]})); then
    vt_log "SKIP: missing ${missing[*]}"
    exit 77
  fi
}

# --- Windows on the display ---------------------------------------------------------------

# Ids of the visible boxes named exactly $1: the application window shares the title's name
# but is at most a pixel wide, and the board may share it but covers the screen.
vt_find_windows() {
  local id width
  for id in $(xdotool search --onlyvisible --name "^$(vt_regex_quote "$1")\$" 2>/dev/null); do
    width=$(xdotool getwindowgeometry --shell "$id" 2>/dev/null | sed -n 's/^WIDTH=//p')
    ((${width:-0} > 8 && ${width:-0} < 1000)) && printf '%s\n' "$id"
  done
  return 0
}

# Prints the id of a window named exactly $1, waiting up to $2 seconds for it.
vt_wait_window() {
  local name=$1 seconds=${2:-20} deadline id
  deadline=$((SECONDS + seconds))
  while :; do
    id=$(vt_find_windows "$name" | head -n1)
    if [[ -n $id ]]; then
      printf '%s\n' "$id"
      return 0
    fi
    ((SECONDS < deadline)) || return 1
    sleep 0.2
  done
}

# Waits up to $2 seconds until no window is named $1.
vt_wait_window_gone() {
  local name=$1 seconds=${2:-10} deadline
  deadline=$((SECONDS + seconds))
  while [[ -n $(vt_find_windows "$name") ]]; do
    ((SECONDS < deadline)) || return 1
    sleep 0.2
  done
}

vt_regex_quote() { sed 's/[][\.*^$+?(){}|/]/\\&/g' <<<"$1"; }

# Answers the box captioned $1 with key $2 (Return, y, n), waiting up to $3 seconds for it.
# Another box of the same caption may follow at once, so the one answered is told by its id.
vt_answer_box() {
  local caption=$1 key=${2:-Return} seconds=${3:-20} id
  id=$(vt_wait_window "$caption" "$seconds") || vt_fail "no box captioned \"$caption\" within ${seconds}s"
  vt_log "box \"$caption\": $key"
  vt_press_in_window "$id" "$key"
  vt_wait_id_gone "$caption" "$id" 5 || {
    # The key may have arrived before the box had the focus: once more.
    vt_log "box \"$caption\" still open: $key again"
    vt_press_in_window "$id" "$key"
    vt_wait_id_gone "$caption" "$id" 10 || vt_fail "the box \"$caption\" did not close"
  }
}

vt_wait_id_gone() {
  local caption=$1 id=$2 deadline=$((SECONDS + $3))
  while vt_find_windows "$caption" | grep -qx "$id"; do
    ((SECONDS < deadline)) || return 1
    sleep 0.1
  done
}

# Clicks into the box to give it the focus, then presses the key there.
vt_press_in_window() {
  local id=$1 key=$2 X= Y= WIDTH= HEIGHT=
  eval "$(xdotool getwindowgeometry --shell "$id" 2>/dev/null | sed -n 's/^\(X\|Y\|WIDTH\|HEIGHT\)=/\1=/p')" || true
  if [[ -n ${X:-} && -n ${Y:-} ]]; then
    # The caption bar: a click there moves nothing and takes no button.
    xdotool mousemove "$((X + WIDTH / 2))" "$((Y + 8))" click 1 2>/dev/null || true
    sleep 0.3
  fi
  xdotool key "$key" 2>/dev/null || true
}

vt_screenshot() { import -window root "$1" 2>/dev/null; }
