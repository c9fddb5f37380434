#!/bin/sh
# Takes the README's screenshots of 平台投递 and 压力测试: under Xvfb with a
# window manager and data and configuration folders of its own, starts the
# sample endpoint, types its address, right-clicks a button for the main
# window's context menu, opens 压力测试… from it and storms the endpoint with
# 600 TEMPLATESENDJOBFINISH pushes at 100 a second.
# Run after scripts/setup.sh; writes docs/storm-context-menu.png and docs/stress-test.png.
set -eu
cd "$(dirname "$0")/.."
. scripts/screenshot-display.sh
under_xvfb 1100x760 "${1:-}"

port=18767
data=$(mktemp -d)
config=$(mktemp -d)
build/veltrane-sample-endpoint --port "$port" >/dev/null &
endpoint=$!
XDG_DATA_HOME="$data" XDG_CONFIG_HOME="$config" build/veltrane 2>/tmp/veltrane-screenshot.log &
program=$!
trap 'kill $program $endpoint 2>/dev/null; rm -rf "$data" "$config"' EXIT

main=$(xdotool search --sync --onlyvisible --name '^Veltrane$' | head -n 1)
xdotool windowmove --sync "$main" 10 40
xdotool windowactivate --sync "$main"
sleep 0.5
xdotool mousemove --window "$main" --sync 200 28 click 1   # the endpoint box clears its default
xdotool type --delay 10 "http://127.0.0.1:$port/api/"
mkdir -p docs

# The window's menu, from a right click on the post button; its last entry lit.
xdotool mousemove --window "$main" --sync 400 296 click 3
sleep 0.8
xdotool key Up
sleep 0.3
eval "$(xdotool getwindowgeometry --shell "$main")"
import -window root -crop "$((WIDTH + 210))x$((HEIGHT + 170))+$((X - 10))+$((Y - 40))" +repage docs/storm-context-menu.png
xdotool key Return

storm=$(xdotool search --sync --onlyvisible --name "压力测试" 2>/dev/null | head -n 1)
xdotool windowmove --sync "$storm" 10 30
xdotool windowsize --sync "$storm" 900 690
xdotool windowactivate --sync "$storm"
sleep 0.5
xdotool key alt+n ctrl+a
xdotool type --delay 20 "600"
xdotool key alt+r ctrl+a
xdotool type --delay 20 "100"
xdotool key alt+s
xdotool type --delay 20 "templatesend"
xdotool key Tab space                           # 开始
sleep 9
import -window "$storm" -frame docs/stress-test.png 2>/dev/null || import -window "$storm" docs/stress-test.png
echo "wrote docs/storm-context-menu.png and docs/stress-test.png"
