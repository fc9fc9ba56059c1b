#!/usr/bin/env bash
# The bell, heard: the program runs on its own Xvfb beside a PulseAudio server whose only sink is
# a null sink, and the sink's monitor is recorded around key presses.
#
#   bell.sh PATH/TO/tapirun wrong     a wrong key makes a sound
#   bell.sh PATH/TO/tapirun correct   a correct key makes none (after a wrong key in the same run
#                                     has been heard, so silence means something)
#   bell.sh PATH/TO/tapirun no-server PATH/TO/bell-watch
#                                     with no sound server a wrong key rings the X bell instead,
#                                     and so does the next one, which the program no longer sends
#                                     to a sound server for a while; nor does it try one while
#                                     the wrong keys keep coming, only in the pause after them
#   bell.sh PATH/TO/tapirun late-server PATH/TO/bell-watch
#                                     a sound server that starts while the program runs is heard
#                                     once the program tries again
#   bell.sh PATH/TO/tapirun stalled   the sound server stops answering (SIGSTOP) while wrong keys
#                                     keep coming: the exit button still ends the program within
#                                     two seconds
#
# The keys are real X key events; which key is correct is read from the screen: a correct key
# draws a new target, a wrong one leaves it.
set -uo pipefail

name=bell
usage="usage: bell.sh PATH/TO/tapirun wrong|correct|stalled|no-server|late-server [PATH/TO/bell-watch]"
app=${1:?$usage}
mode=${2:?$usage}
watcher=${3:-}
source "$(dirname "$0")/../lib/lib.sh"
need pulseaudio pactl parec xdotool import convert od awk
[[ $mode == *-server && ! -x $watcher ]] && fail "$usage"

# Placed by the window's table and the centring rule on a 1024x768 screen: the target frame.
drillPlaces 1024 768
readonly rate=8000 # mono, 16 bits: 16000 bytes a second

mkdir -m 700 "$work/runtime"
export HOME=$work XDG_RUNTIME_DIR=$work/runtime PULSE_SERVER=unix:$work/pulse
unset DBUS_SESSION_BUS_ADDRESS

# --- the sound server: no configuration of the machine's, one null sink, no idle exit --------
startSoundServer() {
    pulseaudio -n -F /dev/null --daemonize=no --exit-idle-time=-1 --disallow-exit --use-pid-file=no \
        --disable-shm=yes --load="module-null-sink sink_name=bell" \
        --load="module-native-protocol-unix auth-anonymous=1 socket=$work/pulse" >"$work/pulse.log" 2>&1 &
    started+=($!)
    serverPid=$!
    waitUntil 5 eval 'pactl info >/dev/null' || { cat "$work/pulse.log" >&2; fail "PulseAudio did not start"; }
    ok "PulseAudio with a null sink"
}
[[ $mode == *-server ]] || startSoundServer

# Without a sound server, a socket where the server's would be counts the program's tries: it takes
# each connection and closes it at once, which the program sees as no server.
if [[ $mode == no-server ]]; then
    need perl
    perl -MIO::Socket::UNIX -MSocket -e '$| = 1;
        my $s = IO::Socket::UNIX->new(Type => SOCK_STREAM, Local => $ARGV[0], Listen => 5) or die "listen: $!";
        print "ready\n";
        while (my $c = $s->accept) { print "try\n"; close $c }' "$work/pulse" >"$work/tries.log" &
    started+=($!)
    waitUntil 5 grep -q ready "$work/tries.log" || fail "no stand-in socket for the sound server"
fi
tries() { grep -c try "$work/tries.log"; }

startXvfb
setxkbmap -model jp106 -layout jp 2>/dev/null || true
env -u QT_IM_MODULE QT_QPA_PLATFORM=xcb "$app" >"$work/app.log" 2>&1 &
appPid=$!
started+=("$appPid")
waitForWindow "$appPid" >/dev/null
ok "the program runs on $DISPLAY"

targetSignature() {
    import -window root -depth 8 "$work/screen.ppm" 2>/dev/null || fail "screenshot failed"
    convert "$work/screen.ppm" -crop "$inner" +repage -format '%#' info:
}

# pressRecorded KEY: presses KEY while the sink's monitor is recorded for 1.5 s; sets `peak` to the
# loudest sample and `verdict` to correct (a new target) or wrong (the same target).
pressRecorded() {
    local key=$1 before after size enough
    before=$(targetSignature)
    : >"$work/rec.raw"
    parec -d bell.monitor --raw --format=s16le --channels=1 --rate=$rate --latency-msec=20 >"$work/rec.raw" &
    local recorder=$!
    started+=("$recorder")
    waitUntil 10 test -s "$work/rec.raw" || fail "the recorder gets no sound from the monitor"
    size=$(stat -c %s "$work/rec.raw")
    xdotool key "$key"
    enough=$((size + rate * 2 * 3 / 2))
    waitUntil 5 eval '(($(stat -c %s "$work/rec.raw") >= enough))'
    kill "$recorder" 2>/dev/null
    wait "$recorder" 2>/dev/null
    after=$(targetSignature)
    peak=$(tail -c +"$((size + 1))" "$work/rec.raw" | od -An -v -td2 -w2 |
        awk '{ v = $1 < 0 ? -$1 : $1; if (v > m) m = v } END { print m + 0 }')
    if [[ $after != "$before" ]]; then verdict=correct; else verdict=wrong; fi
    echo "     key $key: $verdict, loudest sample $peak"
}

readonly loud=1000 quiet=50

# The home-row drill is selected at start: F1 prepares it, Space starts it.
xdotool key F1
waitUntil 5 prepared || fail "F1 prepared no drill"
xdotool key space
waitUntil 5 targetShown running || fail "Space started no drill"

# xBellFor KEY: presses KEY and fails unless the X bell rings within 5 s.
xBellFor() {
    "$watcher" 5 >"$work/watch.log" &
    watchPid=$!
    started+=("$watchPid")
    waitUntil 5 grep -q ready "$work/watch.log"
    xdotool key "$1"
    wait "$watchPid" || fail "no sound server, and no X bell either for $1"
}

# q, w and e are in no row of the home-row drill, so they are wrong whatever the target.
if [[ $mode == *-server ]]; then
    xBellFor q
    ok "with no sound server a wrong key rings the X bell"
    xBellFor w
    ok "and so does the next wrong key"
    if [[ $mode == no-server ]]; then
        # Steady typing for longer than the pause between tries: trying loads a back end, work that
        # must not share the processors with the paint of the keys.
        before=$(tries)
        ((before >= 1)) || fail "the program never tried the sound server"
        xdotool key --delay 250 e r t y u i o p e r t y u i o p
        (($(tries) == before)) || fail "the program tried the sound server while wrong keys kept coming"
        ok "no new try while the wrong keys keep coming"
        waitUntil 3 eval '(($(tries) > before))' ||
            fail "the program did not try the sound server again in the pause"
        ok "the next try comes in the pause after them"
    fi
    if [[ $mode == late-server ]]; then
        startSoundServer
        sleep 3.5 # the program's pause before it tries the sound server again
        pressRecorded e
        [[ $verdict == wrong ]] || fail "e was taken as correct"
        ((peak >= loud)) || fail "the sound server that came later was not used (loudest sample $peak)"
        ok "a sound server that starts later is found"
    fi
    kill -0 "$appPid" 2>/dev/null || fail "the program died"
    finish
fi
# The program is connected to the sound server before its first wrong key: the first key it hears
# (F1 above) has it connect, so the first miss does not pay for it.
waitUntil 5 eval 'pactl list clients | grep -q "application.process.id = \"$appPid\""' ||
    fail "no connection to the sound server after the first key"
ok "the first key connects the program to the sound server"
pressRecorded q
[[ $verdict == wrong ]] || fail "q was taken as correct"
((peak >= loud)) || fail "a wrong key made no sound (loudest sample $peak)"
ok "a wrong key sounds the bell"

if [[ $mode == stalled ]]; then
    kill -STOP "$serverPid" || fail "cannot stop the sound server"
    undo+=('kill -CONT "$serverPid" 2>/dev/null')
    ok "the sound server is stopped"
    xdotool key --delay 100 q w e r t y
    xdotool mousemove 250 48 click 1
    waitUntil 2 eval '! kill -0 "$appPid"' ||
        fail "the program did not end within 2 s of the exit button while the sound server stalled"
    wait "$appPid"
    status=$?
    ((status == 0)) || fail "the program ended with status $status"
    ok "the exit button ends the program at once though the sound server stalls"
    finish
fi

if [[ $mode == correct ]]; then
    found=""
    for key in a s d f g h j k l semicolon colon bracketright; do
        pressRecorded "$key"
        if [[ $verdict == correct ]]; then
            ((peak <= quiet)) || fail "the correct key $key made a sound (loudest sample $peak)"
            found=$key
            break
        fi
        ((peak >= loud)) || fail "the wrong key $key made no sound (loudest sample $peak)"
    done
    [[ -n $found ]] || fail "no key of the home row was taken as correct"
    ok "a correct key is silent"
fi

kill -0 "$appPid" 2>/dev/null || fail "the program died"
finish
