# Sourced by the screenshot scripts, from the repository's top folder.
# under_xvfb SIZE FIRST-ARGUMENT: installs what the scripts use, runs the
# calling script again inside Xvfb with a screen of SIZE (WIDTHxHEIGHT) and
# --inside, and there starts the window manager.
under_xvfb() {
    scripts/install-packages.sh xvfb xauth openbox xdotool imagemagick fonts-noto-cjk
    if [ "$2" != "--inside" ]; then
        exec xvfb-run --auto-servernum --server-args="-screen 0 ${1}x24 -dpi 96" "$0" --inside
    fi
    openbox >/dev/null 2>&1 &
    sleep 1 # a window mapped before the window manager runs is never managed
}
