#!/bin/sh
# Takes the README's screenshots of 接入设置 on 企业微信 and on 微信支付:
# under Xvfb with a window manager, starts the program with that family's
# settings saved in a configuration folder of its own (nothing is saved for
# the user), and opens the dialog with Ctrl+Shift+S.
# Run after scripts/setup.sh and a build; writes docs/access-settings-wecom.png
# and docs/access-settings-pay.png.
set -eu
cd "$(dirname "$0")/.."
. scripts/screenshot-display.sh
under_xvfb 1100x700 "${1:-}"

mkdir -p docs

# shot NAME SETTINGS: the dialog with these [access] lines saved.
shot() {
    config=$(mktemp -d)
    mkdir -p "$config/Veltrane"
    printf '[access]\n%s\n' "$2" >"$config/Veltrane/veltrane.conf"
    chmod 600 "$config/Veltrane/veltrane.conf"
    XDG_CONFIG_HOME="$config" build/veltrane 2>/tmp/veltrane-screenshot.log &
    program=$!
    main=$(xdotool search --sync --onlyvisible --name '^Veltrane$' | head -n 1)
    xdotool windowactivate --sync "$main"
    sleep 0.5
    xdotool key ctrl+shift+s
    dialog=$(xdotool search --sync --onlyvisible --name '^接入设置$' | head -n 1)
    xdotool windowmove --sync "$dialog" 10 40
    sleep 0.5
    import -window "$dialog" -frame "docs/access-settings-$1.png" 2>/dev/null \
        || import -window "$dialog" "docs/access-settings-$1.png"
    kill "$program"
    wait "$program" 2>/dev/null || true
    rm -rf "$config"
}

shot wecom 'platform=wecom
token=QDG6eK
aesKey=jWmYm7qr5nMoAUwZRjGtBxmz3KA1tkAj3ykkR6q2B2C
appId=wx5823bf96d3bd56c7
agentId=1000002
mode=safe'
shot pay 'platform=pay
mchId=1900000001
appId=wxd678efh567hg6787
apiV3Key=testMchAPIv3Key0testMchAPIv3Key0'
echo "wrote docs/access-settings-wecom.png and docs/access-settings-pay.png"
