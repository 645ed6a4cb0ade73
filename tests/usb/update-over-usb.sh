#!/bin/sh
# Runs in the test VM with a USB MIDI instrument plugged in: the instrument
# emulator listens at the device end while mirelo-updater-cli sends an update
# file to the host end's port, by name. Checks send's exit status and the
# emulator's verdict. send asks no identity question here (--no-identify): the
# emulator ends at its verdict, and the identity tests (identity-check.sh)
# cover the question.
#
#   update-over-usb.sh CLI EMULATOR FILE SEND_STATUS VERDICT_REGEX [unplug@S | replug@S | stall@S]
#
# unplug@S pulls the instrument's cable S seconds after the transfer starts;
# replug@S also plugs it in again. Send must then name the message at which it
# failed. stall@S stops send (SIGSTOP, as Ctrl-Z does) S seconds after the
# transfer starts and continues it 1.5 s later.
set -u
cli=$1 emulator=$2 file=$3 want_status=$4 want_verdict=$5 cable=${6:-}
work=$(mktemp -d)
failures=0
check() { # DESCRIPTION COMMAND...
    what=$1; shift
    if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
uptime_ms() { awk '{ printf "%d", $1 * 1000 }' /proc/uptime; }

"$emulator" "$MIRELO_VM_USB_DEVICE_RAWMIDI" --timeout 120 >"$work/emulator" 2>&1 &
emulator_pid=$!
tries=300
until grep -q '^listening' "$work/emulator"; do
    tries=$((tries - 1))
    if [ "$tries" -le 0 ] || ! kill -0 "$emulator_pid" 2>/dev/null; then
        echo "FAILED: the emulator did not start:"; cat "$work/emulator"; exit 1
    fi
    sleep 0.1
done

started=$(uptime_ms)
"$cli" send --no-identify --to "$MIRELO_VM_USB_PORT_NAME" "$file" >"$work/send.out" 2>"$work/send.err" &
send_pid=$!
if [ -n "$cable" ]; then
    # The time counts from the first progress line: a sanitized build in an
    # emulated CPU can take seconds to list the destinations before it.
    tries=300
    until grep -q '^progress:' "$work/send.err" || [ "$tries" -le 0 ]; do
        tries=$((tries - 1))
        sleep 0.1
    done
    transfer_started=$(uptime_ms)
    sleep "${cable#*@}"
    if [ "${cable%@*}" = stall ]; then
        echo "stopping send $(( $(uptime_ms) - transfer_started )) ms after the transfer started"
        kill -STOP "$send_pid"
        sleep 1.5
        kill -CONT "$send_pid"
        echo "continued it $(( $(uptime_ms) - transfer_started )) ms after the transfer started"
    else
        echo "unplugging the instrument $(( $(uptime_ms) - transfer_started )) ms after the transfer started"
        usb-midi-gadget unplug
        if [ "${cable%@*}" = replug ]; then
            usb-midi-gadget replug
            echo "plugged in again $(( $(uptime_ms) - transfer_started )) ms after the transfer started"
        fi
    fi
fi
wait "$send_pid"
send_status=$?
sent_ms=$(( $(uptime_ms) - started ))
wait "$emulator_pid"

echo "send exited $send_status after $sent_ms ms; its output:"
sed 's/^/  | /' "$work/send.out" "$work/send.err"
echo "emulator:"
sed 's/^/  | /' "$work/emulator"
check "send exits $want_status" [ "$send_status" = "$want_status" ]
check "verdict matches /$want_verdict/" grep -Eq "$want_verdict" "$work/emulator"
if [ -n "$cable" ] && [ "${cable%@*}" != stall ]; then
    check "send names the message that failed" grep -Eq '^send: send failed at message [0-9]+ of [0-9]+' "$work/send.err"
fi
[ "$failures" = 0 ]
