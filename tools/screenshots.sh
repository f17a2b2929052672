#!/bin/sh
# Screenshots of the desktop program's pieces, taken on a virtual X server, for checking the look:
#   tools/screenshots.sh [output folder]      (default: build/screenshots)
# Needs xvfb-run and ImageMagick's `import`. Builds the gallery tool of the debug build first.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-"$root/build/screenshots"}
bin="$root/build/debug/bin"

cd "$root"
[ -d build/debug ] || cmake --preset debug >/dev/null
cmake --build --preset debug --target pendulo-gallery -j2 >/dev/null
mkdir -p "$out"

# shoot SCENE NAME: shows one scene of the gallery and photographs the whole screen.
shoot() {
    xvfb-run -a -s "-screen 0 800x450x24" sh -c '
        "$1" "$2" &
        pid=$!
        sleep 2
        import -window root "$3"
        kill $pid' shoot "$bin/pendulo-gallery" "$1" "$out/$2.png"
    echo "$out/$2.png"
}

shoot window-idle main-window-idle
shoot window-tracking main-window-tracking
shoot window-error main-window-error
shoot completion completion-popup
shoot previous previous-activities

# The tray icons at 16 and 22 pixels on a light and a dark panel, enlarged four times.
QT_QPA_PLATFORM=offscreen "$bin/pendulo-gallery" tray-icons "$out/tray-icons.png"
echo "$out/tray-icons.png"
