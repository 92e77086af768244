#!/usr/bin/env bash
# Builds Kelvane and starts it against the simulated bus: the bus simulator
# serves a pseudo-terminal that is mapped to COM1, and the program starts with
# its own settings file and program folder under ./build/demo. Without a
# display it runs under Xvfb.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
# Only what the run needs: the program, the bus simulator, the gauge plugin
# and its registration tool (no tests, no benchmarks).
"$root/scripts/build.sh" kelvane kelvane-bussim Levelon levelon-register

bin="$root/build/bin"
demo="$root/build/demo"
mkdir -p "$demo/home"
# The start files the windows load when they open (kept once the user changed them).
for f in "$root/scripts/demo-home/"*; do
  [ -e "$demo/home/$(basename "$f")" ] || cp "$f" "$demo/home/"
done

# The bus simulator prints the path of its pseudo-terminal on its first line.
# It runs at the real speed of the baud the program sets on the line, as a
# real port does: it takes the program's bytes and sends its replies no
# faster than the wire carries them.
coproc BUSSIM { exec "$bin/kelvane-bussim" --demo --pace; }
trap 'kill "$BUSSIM_PID" 2>/dev/null || true' EXIT
read -r pty <&"${BUSSIM[0]}"
echo "Simulated bus on $pty (COM1)"

settings="$demo/settings.ini"
if [ ! -f "$settings" ]; then
  printf '[Startup]\nBackup_CommPort=1\nBackup_Settings=9600\n' > "$settings"
fi

export KELVANE_COM1="$pty"
export KELVANE_SETTINGS_FILE="$settings"
export KELVANE_HOME="$demo/home"
export KELVANE_SIM=1
export KELVANE_COMPONENT_REGISTRY="$demo/components.ini"
if [ -x "$bin/levelon-register" ]; then
  "$bin/levelon-register" --registry "$KELVANE_COMPONENT_REGISTRY" "$bin/libLevelon.so" >/dev/null || true
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: running Kelvane under Xvfb (a virtual display; nothing is shown on screen)."
  xvfb-run -a -s "-screen 0 1280x900x24" "$bin/kelvane" "$@"
  exit $?
fi
"$bin/kelvane" "$@"
