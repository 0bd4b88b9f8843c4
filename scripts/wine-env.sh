# Wine set-up shared by the Windows checks. Source it, do not run it:
#
#   . scripts/wine-env.sh
#   wine_env_xvfb 93                   # optional: a private X server, exports DISPLAY=:93
#                                      # (WINE_ENV_DISPLAY=N in the environment picks :N instead)
#   wine_env_start /path/to/prefix     # exports WINEPREFIX etc., boots and configures the prefix
#   ... wine program.exe ...
#   wine_env_restart                   # the server anew (settings read at its start)
#   wine_env_map_com COM18 /path/link  # the COM port leads to a pseudo-terminal's link
#   wine_env_stop                      # ends the prefix's wineserver (and the X server)
#   wine_env_end PID...                # ends background processes of the script, by id
#   wine_env_trap                      # on exit: ends $WINE_ENV_PIDS, then wine_env_stop
#   wine_env_step TEXT                 # "== [N s] TEXT", N seconds since the script began
#
# What a fresh prefix needs before the desktop program looks and behaves right:
# - Japanese text: Wine draws every Japanese glyph as a box, even with
#   fonts-ipafont-gothic installed, until the Windows face names the program and
#   the system dialogs ask for are substituted by a font that exists here
#   (IPAPGothic). The substitutes are read when the wineserver starts, so the
#   server is restarted after they are set.
# - Speed without a window manager: unless the X11 driver is told that windows
#   are not managed (Managed = N), every hide or close of a window waits about
#   2 s for a window manager that never answers.
# - A persistent wineserver (-p) keeps a program start at about 0.3 s instead of
#   seconds; a fresh prefix takes 7-8 s to boot once.
# - 64-bit only: Debian's Wine has no 32-bit part.
# - Windows need the X server before the prefix's server starts: Wine's desktop
#   process takes the display it finds then, and without one no window of any
#   later program can be created. Start Xvfb first.
# - The title bars' buttons need Wine's Marlett font (fonts-wine), copied into
#   the prefix's font folder: without it they show the letters "0", "1", "r".
# Packages: wine, wine64, fonts-ipafont-gothic, and xvfb for wine_env_xvfb.

export WINEARCH=win64
export WINEDEBUG=-all
# No Mono or Gecko installers on boot.
export WINEDLLOVERRIDES="mscoree,mshtml="

# Face names that must lead to the Japanese font: the dialog font of the forms
# (full-width and ASCII spellings) and the faces Wine links its UI font to.
WINE_ENV_FONT=IPAPGothic
WINE_ENV_FONT_FACES=("ＭＳ Ｐゴシック" "MS PGothic" "ＭＳ ゴシック" "MS Gothic" "MS UI Gothic" "ＭＳ ＵＩ ゴシック")

_wine_env_log() { echo "${WINE_ENV_LOG:-/dev/null}"; }

# Ends the prefix's wineserver and waits until it has gone.
_wine_env_server_stop() {
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
}

_wine_env_server_start() { wineserver -p </dev/null >>"$(_wine_env_log)" 2>&1; }

# Runs a Wine program with its output going to the log.
wine_env_quiet() { wine "$@" </dev/null >>"$(_wine_env_log)" 2>&1; }

_wine_env_settings_reg() {
  printf 'Windows Registry Editor Version 5.00\r\n\r\n'
  printf '[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes]\r\n'
  local face
  for face in "${WINE_ENV_FONT_FACES[@]}"; do printf '"%s"="%s"\r\n' "$face" "$WINE_ENV_FONT"; done
  printf '\r\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n"Managed"="N"\r\n"Decorated"="Y"\r\n'
}

# wine_env_start PREFIX: exports WINEPREFIX=PREFIX, creates and configures the
# prefix when needed, and leaves a persistent wineserver running for it.
wine_env_start() {
  export WINEPREFIX=$1
  mkdir -p "$WINEPREFIX"
  local marker=$WINEPREFIX/.velmora-settings
  local wanted
  wanted=$(_wine_env_settings_reg | md5sum | cut -d' ' -f1)
  _wine_env_server_start
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wine_env_quiet wineboot -i
  fi
  if [ "$(cat "$marker" 2>/dev/null)" != "$wanted" ]; then
    local reg=$WINEPREFIX/velmora-settings.reg
    # regedit reads UTF-16 files with a byte-order mark: the face names are Japanese.
    { printf '\xff\xfe'; _wine_env_settings_reg | iconv -f UTF-8 -t UTF-16LE; } >"$reg"
    wine_env_quiet regedit /S "$(winepath -w "$reg" 2>/dev/null)"
    _wine_env_server_stop
    echo "$wanted" >"$marker"
    _wine_env_server_start
  fi
  # The title bars draw their buttons with Wine's Marlett font, which this
  # Wine looks for in the prefix's font folder only.
  local fonts=$WINEPREFIX/drive_c/windows/Fonts
  if [ -f /usr/share/wine/fonts/marlett.ttf ] && [ -d "$fonts" ] && [ ! -f "$fonts/marlett.ttf" ]; then
    cp /usr/share/wine/fonts/marlett.ttf "$fonts/"
    _wine_env_server_stop
    _wine_env_server_start
  fi
  # Brings the services (and the mount manager) up before the first real program.
  wine_env_quiet cmd /c exit
}

# wine_env_restart: restarts the prefix's wineserver (the X server stays), for
# settings read when the server starts (the Ports key of the COM mapping).
wine_env_restart() {
  _wine_env_server_stop
  wine_env_start "$WINEPREFIX"
}

# wine_env_map_com PORT LINK: maps the COM port PORT ("COM18") of the prefix
# to LINK (a link to a pseudo-terminal) and waits until the prefix's dosdevices
# entry leads there. A link made by hand in dosdevices is reset at start-up;
# the Ports key is what Wine's mount manager honours, read when the server
# starts, so the server is restarted after the key is set. Returns 1 when the
# name leads anywhere else: never let a test loose on a real port.
wine_env_map_com() {
  local port=$1 link=$2 _
  if ! wine reg query 'HKLM\Software\Wine\Ports' /v "$port" </dev/null 2>/dev/null |
      tr -d '\r' | grep -q "REG_SZ *$link\$"; then
    wine_env_quiet reg add 'HKLM\Software\Wine\Ports' /v "$port" /t REG_SZ /d "$link" /f
    wine_env_restart
  fi
  local dos_link=$WINEPREFIX/dosdevices/${port,,}
  for _ in $(seq 100); do
    [ "$(readlink "$dos_link" || true)" = "$link" ] && return 0
    sleep 0.05
  done
  echo "$dos_link leads to '$(readlink "$dos_link" || true)', not to $link" >&2
  return 1
}

# wine_env_xvfb N: starts Xvfb on display :N (1024x768, 24 bits) unless one runs
# there already, and exports DISPLAY. WINE_ENV_DISPLAY, when set, names the
# display instead of N (for two checks on one machine at the same time).
wine_env_xvfb() {
  local n=${WINE_ENV_DISPLAY:-$1}
  export DISPLAY=:$n
  if [ -S "/tmp/.X11-unix/X$n" ]; then return 0; fi
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp </dev/null >>"$(_wine_env_log)" 2>&1 &
  WINE_ENV_XVFB_PID=$!
  local _
  for _ in $(seq 100); do
    [ -S "/tmp/.X11-unix/X$n" ] && return 0
    kill -0 "$WINE_ENV_XVFB_PID" 2>/dev/null || break
    sleep 0.05
  done
  echo "Xvfb :$n did not start" >&2
  return 1
}

# wine_env_stop: ends the prefix's wineserver and the X server wine_env_xvfb started.
wine_env_stop() {
  if [ -n "${WINEPREFIX:-}" ]; then _wine_env_server_stop; fi
  if [ -n "${WINE_ENV_XVFB_PID:-}" ]; then
    kill "$WINE_ENV_XVFB_PID" 2>/dev/null || true
    wait "$WINE_ENV_XVFB_PID" 2>/dev/null || true
    WINE_ENV_XVFB_PID=
  fi
}

# wine_env_end PID...: ends each of the script's background processes (an
# empty id is skipped) and waits for it.
wine_env_end() {
  local pid
  for pid in "$@"; do
    [ -n "$pid" ] || continue
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
}

# wine_env_await_link LINK PID LOG: waits up to 5 s for the symbolic link that
# tarnik-sim (process PID) makes once its pseudo-terminal is ready. Returns 1
# with the simulator's log on standard error when it ended first or made no
# link in that time.
wine_env_await_link() {
  local link=$1 pid=$2 log=$3 _
  for _ in $(seq 100); do
    [ -L "$link" ] && return 0
    kill -0 "$pid" 2>/dev/null || { cat "$log" >&2; return 1; }
    sleep 0.05
  done
  echo "tarnik-sim made no link $link within 5 s" >&2
  cat "$log" >&2
  return 1
}

# wine_env_trap: on the script's exit (also after Ctrl-C, 130, and SIGTERM,
# 143) the background processes whose ids are in the array WINE_ENV_PIDS are
# ended, then the wineserver and the X server (wine_env_stop); the script's
# status stays.
WINE_ENV_PIDS=()
_wine_env_cleanup() {
  local status=$?
  wine_env_end "${WINE_ENV_PIDS[@]}"
  wine_env_stop
  exit "$status"
}
wine_env_trap() {
  trap _wine_env_cleanup EXIT
  trap 'exit 130' INT
  trap 'exit 143' TERM
}

# wine_env_step TEXT: the heading of a step, with the seconds since the script began.
wine_env_step() { echo "== [$SECONDS s] $*"; }
