#!/bin/sh
# Takes the README's screenshot: under Xvfb with a window manager, starts the
# sample endpoint and the program, clicks into the endpoint box, types the
# endpoint, loads the text sample, posts it, and photographs both windows.
# Run after scripts/setup.sh; writes docs/screenshot.png.
set -eu
cd "$(dirname "$0")/.."
. scripts/screenshot-display.sh
under_xvfb 1000x440 "${1:-}"

port=18765
build/veltrane-sample-endpoint --port "$port" >/dev/null &
endpoint=$!
build/veltrane 2>/tmp/veltrane-screenshot.log &
program=$!
trap 'kill $program $endpoint 2>/dev/null' EXIT

main=$(xdotool search --sync --onlyvisible --name '^Veltrane$' | head -n 1)
xdotool windowmove --sync "$main" 10 40
sleep 0.5
# Positions inside the main window, as its layout gives them.
click() { xdotool mousemove --window "$main" --sync "$1" "$2" click 1; sleep 0.3; }

click 200 28                                   # the endpoint box clears its default
xdotool type --delay 10 "http://127.0.0.1:$port/api/"
click 50 296                                   # 载入文本XML格式
click 400 296                                  # PostXML
timeout 10 xdotool search --sync --onlyvisible --name 'Xml' >/dev/null || true
sleep 1
mkdir -p docs
import -window root docs/screenshot.png
echo "wrote docs/screenshot.png"
