#!/bin/sh
# Takes the README's screenshot of sending again from 交互记录: under Xvfb
# with a window manager and data folders of its own, posts the text sample
# to the sample endpoint, imports a small HAR file (written here, as a
# browser writes one) with 从 HAR 导入…, sends its push 原样重发 from the
# dialog, and right-clicks the list for its menu.
# Run after scripts/setup.sh; writes docs/exchange-replay.png.
set -eu
cd "$(dirname "$0")/.."
. scripts/screenshot-display.sh
under_xvfb 1400x900 "${1:-}"

port=18767
home=$(mktemp -d)
har="$home/captured.har"
cat >"$har" <<HAR
{"log": {"version": "1.2", "creator": {"name": "WebInspector", "version": "537.36"}, "pages": [],
 "entries": [
  {"startedDateTime": "2026-12-01T08:00:00.000Z", "time": 12.5,
   "request": {"method": "GET", "url": "http://127.0.0.1:$port/api/?echostr=1", "httpVersion": "HTTP/1.1",
               "headers": [], "queryString": [], "cookies": [], "headersSize": -1, "bodySize": 0},
   "response": {"status": 200, "statusText": "OK", "httpVersion": "HTTP/1.1", "headers": [], "cookies": [],
                "content": {"size": 1, "mimeType": "text/plain", "text": "1"}, "redirectURL": "", "headersSize": -1, "bodySize": 1},
   "cache": {}, "timings": {"send": 0, "wait": 12, "receive": 0.5}},
  {"startedDateTime": "2026-12-01T08:00:05.000Z", "time": 9.1,
   "request": {"method": "POST", "url": "http://127.0.0.1:$port/api/", "httpVersion": "HTTP/1.1",
               "headers": [{"name": "Content-Type", "value": "text/xml"}], "queryString": [], "cookies": [],
               "headersSize": -1, "bodySize": 190,
               "postData": {"mimeType": "text/xml", "text": "<xml><ToUserName><![CDATA[gh_3f2a]]></ToUserName><FromUserName><![CDATA[o6_bmjrPTlm6_2sgVt7hMZOPfL2M]]></FromUserName><CreateTime>1764576005</CreateTime><MsgType><![CDATA[text]]></MsgType><Content><![CDATA[退订]]></Content><MsgId>1234567890123456</MsgId></xml>"}},
   "response": {"status": 200, "statusText": "OK", "httpVersion": "HTTP/1.1", "headers": [], "cookies": [],
                "content": {"size": 7, "mimeType": "text/plain", "text": "success"}, "redirectURL": "", "headersSize": -1, "bodySize": 7},
   "cache": {}, "timings": {"send": 0, "wait": 9, "receive": 0.1}}
 ]}}
HAR
build/veltrane-sample-endpoint --port "$port" >/dev/null &
endpoint=$!
XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" build/veltrane 2>/tmp/veltrane-screenshot.log &
program=$!
trap 'kill $program $endpoint 2>/dev/null; rm -rf "$home"' EXIT

main=$(xdotool search --sync --onlyvisible --name '^Veltrane$' | head -n 1)
xdotool windowmove --sync "$main" 10 40
sleep 0.5
click() { xdotool mousemove --window "$1" --sync "$2" "$3" click "${4:-1}"; sleep 0.4; }
xdotool windowactivate --sync "$main"
click "$main" 200 28                           # the endpoint box clears its default
xdotool type --delay 10 "http://127.0.0.1:$port/api/"
click "$main" 50 296                           # 载入文本XML格式
click "$main" 400 296                          # PostXML
sleep 1.5

xdotool windowactivate --sync "$main"
xdotool key ctrl+shift+h
journal=$(xdotool search --sync --onlyvisible --name '^交互记录$' | head -n 1)
xdotool windowmove --sync "$journal" 10 10
xdotool windowsize --sync "$journal" 1000 700
sleep 0.5

# 从 HAR 导入…: Qt's own file dialog takes the path typed into its name box.
xdotool windowactivate --sync "$journal"
click "$journal" 850 20                        # 从 HAR 导入…
xdotool search --sync --onlyvisible --name '^从 HAR 导入$' >/dev/null
sleep 0.5
xdotool type --delay 10 "$har"
xdotool key Return
sleep 1
dialog=$(xdotool search --sync --onlyvisible --name '^从 HAR 导入$' | head -n 1)
xdotool windowmove --sync "$dialog" 620 330
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$dialog")"
click "$dialog" $((WIDTH - 245)) $((HEIGHT - 22))   # 原样重发
sleep 1.5

# The list's menu on the exchange just sent.
xdotool windowactivate --sync "$journal"
click "$journal" 300 72 3
sleep 0.8
mkdir -p docs
import -window root docs/exchange-replay.png
echo "wrote docs/exchange-replay.png"
