#!/bin/sh
# Takes the README's screenshots of the window on 微信支付: the XML box's
# 载入更多样例 with the four notifications, and 模拟平台重试's dialog while
# it retries against a sample endpoint that holds another APIv3 key (so it
# refuses every sending). Runs under Xvfb with a window manager, with the
# settings and the platform's key in a configuration folder of its own.
# Run after scripts/setup.sh and a build; writes docs/pay-samples-menu.png and
# docs/pay-retry-dialog.png.
set -eu
cd "$(dirname "$0")/.."
. scripts/screenshot-display.sh
under_xvfb 1100x700 "${1:-}"

port=18766
config=$(mktemp -d)
mkdir -p "$config/Veltrane" docs
printf '[access]\nplatform=pay\nmchId=1900000001\nappId=wxd678efh567hg6787\napiV3Key=testMchAPIv3Key0testMchAPIv3Key0\n' \
    >"$config/Veltrane/veltrane.conf"
chmod 600 "$config/Veltrane/veltrane.conf"
XDG_CONFIG_HOME="$config" build/veltrane-post --platform pay --pay-certificate >"$config/platform.pem" 2>/dev/null
build/veltrane-sample-endpoint --port "$port" --platform pay --apiv3-key otherMerchantKey0otherMerchantKe \
    --certificate "$config/platform.pem" >/dev/null &
endpoint=$!
XDG_CONFIG_HOME="$config" build/veltrane 2>/tmp/veltrane-screenshot.log &
program=$!
trap 'kill $program $endpoint 2>/dev/null; rm -rf "$config"' EXIT

main=$(xdotool search --sync --onlyvisible --name '^Veltrane$' | head -n 1)
xdotool windowmove --sync "$main" 10 40
xdotool windowactivate --sync "$main"
sleep 0.5
xdotool mousemove --window "$main" --sync 200 28 click 1   # the endpoint box clears its default
xdotool type --delay 10 "http://127.0.0.1:$port/api/"

# The XML box's menu, its last entry (载入更多样例) opened by keys; the first sample loaded.
xdotool mousemove --window "$main" --sync 200 110 click 3
sleep 0.8
xdotool key Up Right
sleep 0.8
eval "$(xdotool getwindowgeometry --shell "$main")"
import -window root -crop "$((WIDTH + 420))x$((HEIGHT + 330))+$((X - 10))+$((Y - 40))" +repage docs/pay-samples-menu.png
xdotool key Return
sleep 0.5

# 模拟平台重试: fifth from the menu's end (before it: 复制为 curl 命令 and the two probes).
xdotool mousemove --window "$main" --sync 200 110 click 3
sleep 0.8
xdotool key Up Up Up Up Up Return
dialog=$(xdotool search --sync --onlyvisible --name '^模拟支付平台重试$' | head -n 1)
xdotool windowmove --sync "$dialog" 480 40
xdotool windowactivate --sync "$dialog"
sleep 0.3
xdotool key Return   # 开始, the default button
sleep 2.5            # a few refused sendings, the next one waited for
xdotool windowactivate --sync "$dialog"   # above 交互记录, which 开始 brought up
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$dialog")"
import -window root -crop "$((WIDTH + 2))x$((HEIGHT + 24))+$((X - 1))+$((Y - 42))" +repage docs/pay-retry-dialog.png
echo "wrote docs/pay-samples-menu.png and docs/pay-retry-dialog.png"
