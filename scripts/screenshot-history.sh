#!/bin/sh
# Takes the README's screenshot of 交互记录 with its search: under Xvfb with a
# window manager and a data folder of its own (so the user's history is left
# alone), posts the text, location and picture samples to the sample
# endpoint and the text one to a path it refuses, opens 交互记录 by its
# shortcut and searches for the MsgType "location".
# Run after scripts/setup.sh; writes docs/exchange-history.png.
set -eu
cd "$(dirname "$0")/.."
. scripts/screenshot-display.sh
under_xvfb 1100x760 "${1:-}"

port=18766
data=$(mktemp -d)
config=$(mktemp -d)
build/veltrane-sample-endpoint --port "$port" >/dev/null &
endpoint=$!
XDG_DATA_HOME="$data" XDG_CONFIG_HOME="$config" build/veltrane 2>/tmp/veltrane-screenshot.log &
program=$!
trap 'kill $program $endpoint 2>/dev/null; rm -rf "$data" "$config"' EXIT

main=$(xdotool search --sync --onlyvisible --name '^Veltrane$' | head -n 1)
xdotool windowmove --sync "$main" 10 40
sleep 0.5
# Positions inside the main window, as its layout gives them.
click() { xdotool mousemove --window "$main" --sync "$1" "$2" click 1; sleep 0.3; }
post() {
    xdotool windowactivate --sync "$main"
    click "$1" 296                             # a sample's button
    click 400 296                              # PostXML
    sleep 1.5
}

click 200 28                                   # the endpoint box clears its default
xdotool type --delay 10 "http://127.0.0.1:$port/api/"
post 50                                        # 载入文本XML格式
post 170                                       # 载入地理XML格式
post 290                                       # 载入图文XML格式
xdotool windowactivate --sync "$main"
click 200 28
xdotool key ctrl+a
xdotool type --delay 10 "http://127.0.0.1:$port/refused/"
post 50

xdotool windowactivate --sync "$main"
xdotool key ctrl+shift+h
journal=$(xdotool search --sync --onlyvisible --name '^交互记录$' | head -n 1)
xdotool windowmove --sync "$journal" 10 10
xdotool windowsize --sync "$journal" 1000 700
sleep 0.5
xdotool type --delay 20 "location"
sleep 1
mkdir -p docs
import -window "$journal" -frame docs/exchange-history.png 2>/dev/null || import -window "$journal" docs/exchange-history.png
echo "wrote docs/exchange-history.png"
