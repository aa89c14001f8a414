#!/usr/bin/env bash
# The clipboard between this desktop and TigerVNC's Xvnc, with text outside Latin-1, read
# with xclip on both X displays: a local copy made before the host is shown reaches it
# only when the user clicks into the viewer, a later local copy at once, and a copy on
# the host comes back as the same characters. Xvnc speaks the extended clipboard, so
# "€", Cyrillic, CJK and emoji go through as UTF-8 both ways, lines included.
source "$(dirname "$0")/lib/common.bash"

start_xvnc

# Copies text to the clipboard of an X display (the xclip serving it is ended with the test).
copy_on() {
    printf '%s' "$2" | DISPLAY="$1" timeout 60 xclip -quiet -selection clipboard >/dev/null 2>&1 &
    E2E_PIDS+=($!)
}
clipboard_of() { DISPLAY="$1" timeout 5 xclip -o -selection clipboard 2>/dev/null; }
clipboard_is() { [ "$(clipboard_of "$1")" = "$2" ]; }

write_xvnc_config
copy_on "$DISPLAY" "Grüße vor 5 €, Жук"
start_app
sleep 1
connect_first_host

# Shown, but the user has not turned to it: the host's clipboard stays as it was.
sleep 1
[ -z "$(clipboard_of "$XVNC_DISPLAY")" ] || fail "clipboard sent merely by showing the host: '$(clipboard_of "$XVNC_DISPLAY")'"

# A click into the viewer (right of the 170-pixel host list) hands it over.
xdotool mousemove --window "$APP_WIN" 250 100 click 1
wait_for 50 clipboard_is "$XVNC_DISPLAY" "Grüße vor 5 €, Жук" || fail "host clipboard after the click: '$(clipboard_of "$XVNC_DISPLAY")'"

# A local copy while the host is shown goes over at once, lines and all.
local_text=$'café crème, 日本語の文章 🙂\nsecond line 🎉'
copy_on "$DISPLAY" "$local_text"
wait_for 50 clipboard_is "$XVNC_DISPLAY" "$local_text" || fail "host clipboard after a local copy: '$(clipboard_of "$XVNC_DISPLAY")'"

# A copy on the host arrives here as the same characters.
host_text=$'Ärger ½ Maß € Ж 中文 😀\nzweite Zeile'
copy_on "$XVNC_DISPLAY" "$host_text"
wait_for 50 clipboard_is "$DISPLAY" "$host_text" || fail "local clipboard after a host copy: '$(clipboard_of "$DISPLAY")'"

# A longer text (150 KB of lines, under what Xvnc takes unasked) arrives whole.
long_text=$(for _ in $(seq 1 5000); do printf 'Ж€日本 🙂 line of text\n'; done)
copy_on "$DISPLAY" "$long_text"
wait_for 100 clipboard_is "$XVNC_DISPLAY" "$long_text" || fail "host clipboard after a long copy: $(clipboard_of "$XVNC_DISPLAY" | wc -c) bytes"

close_app
[ "$APP_STATUS" -eq 0 ] || fail "exit status $APP_STATUS"
echo "PASS xvnc_clipboard"
