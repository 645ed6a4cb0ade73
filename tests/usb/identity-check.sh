#!/bin/sh
# Runs in the test VM: mirelo-updater-cli asks who is at the other end of a
# port, and what it says is checked.
#
#   identity-check.sh CLI EMULATOR identify
#       The instrument emulator at the USB device end answers: identify names
#       it (manufacturer 0x7D, family 0x004D, model 0x0001, firmware 1.0) in
#       words and in JSON. (--to is needed: the gadget's own end, f_midi, is a
#       second hardware port in the VM.)
#   identity-check.sh CLI EMULATOR update FILE VERSION STATUS
#       identify says firmware 1.0; send FILE asks before and after, prints
#       "instrument: firmware 1.0 → VERSION" and exits STATUS (0 when the
#       instrument took the update and runs the version it carries, 5 when it
#       still runs the old one); then identify --wait, which follows the
#       instrument while it restarts after an update it took, says VERSION.
#   identity-check.sh CLI EMULATOR no-identify FILE
#       send --no-identify FILE: not one identity request reaches the device end.
#   identity-check.sh CLI - through
#       Midi Through sends our request back: that is no answer (status 4).
set -u
cli=$1 emulator=$2 mode=$3
work=$(mktemp -d)
failures=0
check() { # DESCRIPTION COMMAND...
    what=$1; shift
    if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
show() { # FILE...
    for f in "$@"; do [ -f "$f" ] || continue; echo "$(basename "$f"):"; sed 's/^/  | /' "$f"; done
}
identify() { # NAME ARGS...: output in $work/NAME, status in $work/NAME.status
    name=$1; shift
    "$cli" identify "$@" >"$work/$name" 2>&1
    echo $? >"$work/$name.status"
}
exited() { [ "$(cat "$work/$1.status")" = "$2" ]; }
says() { grep -q -- "$2" "$work/$1"; }

if [ "$mode" = through ]; then
    identify through --to "Midi Through Port-0"
    show "$work/through"
    check "identify to Midi Through exits 4 (no answer)" exited through 4
    check "it says our request came back" says through "sent our own request back"
    [ "$failures" = 0 ]
    exit
fi

if [ "$mode" = no-identify ]; then
    linger=0 # it ends after its verdict, saying how many requests it heard
else
    linger=120
fi
"$emulator" "$MIRELO_VM_USB_DEVICE_RAWMIDI" --timeout 120 --linger $linger --restart-udc "$MIRELO_VM_USB_UDC" \
    >"$work/emulator" 2>&1 &
emulator_pid=$!
tries=300
until grep -q '^listening' "$work/emulator"; do
    tries=$((tries - 1))
    if [ "$tries" -le 0 ] || ! kill -0 "$emulator_pid" 2>/dev/null; then
        echo "FAILED: the emulator did not start:"; cat "$work/emulator"; exit 1
    fi
    sleep 0.1
done

if [ "$mode" = no-identify ]; then
    "$cli" send --no-identify --to "$MIRELO_VM_USB_PORT_NAME" "$4" >"$work/send" 2>&1
    echo "send exited $?"
    wait "$emulator_pid"
    check "send says nothing of the instrument's firmware" sh -c "! grep -q '^instrument:' '$work/send'"
    check "no identity request reached the device end" grep -q '^identity requests heard: 0$' "$work/emulator"
    show "$work/send" "$work/emulator"
    [ "$failures" = 0 ]
    exit
fi

identify before --to "$MIRELO_VM_USB_PORT_NAME"
check "identify exits 0" exited before 0
check "it names the manufacturer" says before '^manufacturer: 0x7D$'
check "and the family and model" says before '^family: 0x004D$'
check "and runs firmware 1.0" says before '^firmware: 1.0$'

case $mode in
identify)
    identify json --json --to "$MIRELO_VM_USB_PORT_NAME"
    check "identify --json exits 0" exited json 0
    check "and says it in JSON" says json '"manufacturer":"0x7D","family":"0x004D","model":"0x0001","firmware":"1.0"'
    ;;
update)
    file=$4 want=$5 want_status=$6
    started=$(date +%s)
    "$cli" send --to "$MIRELO_VM_USB_PORT_NAME" "$file" >"$work/send.out" 2>"$work/send.err"
    send_status=$?
    echo "send exited $send_status after $(($(date +%s) - started)) s"
    cat "$work/send.out" "$work/send.err" >"$work/send"
    check "send exits $want_status" [ "$send_status" = "$want_status" ]
    check "send prints the firmware before and after" grep -q "^instrument: firmware 1.0 → $want\$" "$work/send.out"
    if [ "$want_status" = 0 ]; then
        check "and says the instrument runs the version the update carries" \
            grep -q "^the instrument reports $want, the version this update carries\$" "$work/send.out"
    else
        check "and says the update did not take" \
            grep -q "^send: the instrument still reports $want: the update did not take\$" "$work/send.err"
    fi
    # A restart takes the instrument away for a while: identify follows it.
    started=$(date +%s)
    identify after --to "$MIRELO_VM_USB_PORT_NAME" --wait 30
    echo "answered again $(($(date +%s) - started)) s after the update"
    check "identify answers after the update" exited after 0
    check "with firmware $want" says after "^firmware: $want\$"
    ;;
esac

kill "$emulator_pid" 2>/dev/null
wait "$emulator_pid" 2>/dev/null
show "$work/before" "$work/json" "$work/send" "$work/after" "$work/emulator"
[ "$failures" = 0 ]
