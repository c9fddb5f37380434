#!/bin/sh
# Takes the README's screenshots of the XML box's file entries and of
# 设置字段…: under Xvfb with a window manager, starts the program with data
# and configuration folders of its own holding two saved samples (nothing of
# the user's is read or written) and the box on one of them (--sample),
# right-clicks the XML box and opens 载入更多样例 → 我的样例, then 设置字段….
# Run after scripts/setup.sh; writes docs/xml-box-files.png and docs/set-field.png.
set -eu
cd "$(dirname "$0")/.."
. scripts/screenshot-display.sh
under_xvfb 1100x1000 "${1:-}"

home=$(mktemp -d)
mkdir -p "$home/data/Veltrane/veltrane/samples"
printf '<xml><ToUserName><![CDATA[toUser]]></ToUserName><MsgType><![CDATA[text]]></MsgType><Content><![CDATA[退订]]></Content></xml>' \
    >"$home/data/Veltrane/veltrane/samples/退订.xml"
printf '{"ToUserName":"toUser","MsgType":"text","Content":"你好"}' >"$home/data/Veltrane/veltrane/samples/小程序-文本.json"
XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" build/veltrane --sample 退订 --set FromUserName=o6_bmjrPTlm6_2sgVt7hMZOPfL2M 2>/tmp/veltrane-screenshot.log &
program=$!
trap 'kill $program 2>/dev/null; rm -rf "$home"' EXIT

main=$(xdotool search --sync --onlyvisible --name '^Veltrane$' | head -n 1)
xdotool windowmove --sync "$main" 10 40
xdotool windowactivate --sync "$main"
sleep 0.5
mkdir -p docs

# The XML box's menu, then its last entry (载入更多样例) and 我的样例 at its end, by keys.
xdotool mousemove --window "$main" --sync 200 110 click 3
sleep 0.8
xdotool key Up Right Up Right
sleep 0.8
eval "$(xdotool getwindowgeometry --shell "$main")"
import -window root -crop "$((WIDTH + 520))x$((HEIGHT + 600))+$((X - 10))+$((Y - 40))" +repage docs/xml-box-files.png
echo "wrote docs/xml-box-files.png"

# 设置字段…, eight entries up from the menu's end, with a field typed.
xdotool key Escape Escape Escape
sleep 0.5
xdotool mousemove --window "$main" --sync 200 110 click 3
sleep 0.8
xdotool key Up Up Up Up Up Up Up Up Return
sleep 0.8
xdotool type --delay 40 'Content=unsubscribe'
sleep 0.5
import -window root -crop "$((WIDTH + 400))x$((HEIGHT + 120))+$((X - 10))+$((Y - 40))" +repage docs/set-field.png
echo "wrote docs/set-field.png"
