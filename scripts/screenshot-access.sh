#!/bin/sh
# Takes the README's access-settings screenshots: under Xvfb with a window
# manager, starts the program with signing settings on its command line (a
# configuration folder of its own, so nothing is saved for the user), opens
# the dialog with Ctrl+Shift+S, then right-clicks the XML box and opens its
# further samples.
# Run after scripts/setup.sh; writes docs/access-settings.png and
# docs/context-menu.png and docs/more-samples-menu.png.
set -eu
cd "$(dirname "$0")/.."
. scripts/screenshot-display.sh
under_xvfb 1100x700 "${1:-}"

config=$(mktemp -d)
XDG_CONFIG_HOME="$config" build/veltrane --token AAAAA --mode safe \
    --aes-key abcdefghijklmnopqrstuvwxyz0123456789ABCDEFG --appid wxb11529c136998cb6 \
    2>/tmp/veltrane-screenshot.log &
program=$!
trap 'kill $program 2>/dev/null; rm -rf "$config"' EXIT

main=$(xdotool search --sync --onlyvisible --name '^Veltrane$' | head -n 1)
xdotool windowmove --sync "$main" 10 40
xdotool windowactivate --sync "$main"
sleep 0.5
mkdir -p docs

# The dialog, by its shortcut, beside the main window.
xdotool key ctrl+shift+s
dialog=$(xdotool search --sync --onlyvisible --name '^接入设置$' | head -n 1)
xdotool windowmove --sync "$dialog" 10 40
sleep 0.5
import -window "$dialog" -frame docs/access-settings.png 2>/dev/null || import -window "$dialog" docs/access-settings.png
xdotool key Escape
sleep 0.5

# The XML box's menu: its editing entries, then the program's.
xdotool mousemove --window "$main" --sync 200 110 click 3
sleep 0.8
eval "$(xdotool getwindowgeometry --shell "$main")"
import -window root -crop "$((WIDTH + 220))x$((HEIGHT + 95))+$((X - 10))+$((Y - 40))" +repage docs/context-menu.png

# The further samples: the menu's last entry, opened by keys.
xdotool key Up Right
sleep 0.8
import -window root -crop "$((WIDTH + 400))x$((HEIGHT + 330))+$((X - 10))+$((Y - 40))" +repage docs/more-samples-menu.png
echo "wrote docs/access-settings.png, docs/context-menu.png and docs/more-samples-menu.png"
