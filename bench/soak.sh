#!/usr/bin/env bash
# Soak: kvt3 reads a million positions from the unpaced simulator, then a hundred thousand more
# while the box misbehaves: every few hundred requests it answers late or sends garbage, every
# few thousand it falls silent for 6 s on a port that stays (a box switched off on an on-board
# port) or disappears for 6 s with its port, whose name then leads nowhere (an unplugged
# adapter). The program runs in a real window on a virtual X server, and the bench plays its
# operator: it reads each window the program opens off the screen (the title, and the text
# through OCR of a screenshot: Qt's message boxes copy their text to the clipboard on Windows
# only), answers it with Return, and runs the link test (F5) when the figures have stood still
# for a while with nothing asked.
#
# At the end: resident memory, open descriptors and threads against their values after the first
# readings; the faults the box made (its own count, from --stats), and after each kind what the
# operator met until the next fault; every dialog text and how often it was answered; the link
# tests run, with the resident memory at each.
#
# Fails (exit 1) on a finding: resident memory grows by 1 MB or more; descriptors or threads
# change; a dialog shows while the box behaves; a dialog other than the wait dialog's question
# ("Informacja"), the open-failure message, or "Błędna wartość parametru." after garbage in a
# reply of the configuration read shows (a link error's message, "Test przeprowadzony pomyślnie."
# after a link test of a stopped cycle, a text that cannot be read); a dialog does not close on
# Return; a silence is not followed by the wait dialog; a disappearance during the cycle is not
# followed by the open-failure message (during a link start: by the wait dialog); readings do not
# come back after a silence or a disappearance; readings stand still for 3 minutes (then it shows
# where the port leads and keeps its logs).
#
#   bench/soak.sh [build-dir] [positions] [positions-with-faults]  (defaults: build, 1000000, 100000)
#
# Needs Xvfb, xdotool, xwininfo, ImageMagick and tesseract with its Polish data (scripts/setup.sh
# installs them).
set -euo pipefail
# It reads the window's Polish texts: the program shows English under an English locale.
export LC_ALL=C.UTF-8
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
clean=${2:-1000000}
faulty=${3:-100000}
bin=$build/bin
. "$root/bench/needs_built.sh"
needs_built "$bin" kvt3-sim kvt3
for tool in Xvfb xdotool xwininfo import convert tesseract; do
  command -v "$tool" >/dev/null || { echo "no $tool: run scripts/setup.sh" >&2; exit 2; }
done
tesseract --list-langs 2>/dev/null | grep -qx pol || { echo "no Polish OCR data: run scripts/setup.sh" >&2; exit 2; }

work=$(mktemp -d)
xvfb= sim= kvt3= keep=
cleanup() {
  local pid
  for pid in $kvt3 $sim $xvfb; do
    kill -TERM "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  if [ -n "$keep" ]; then echo "logs kept in $work" >&2; else rm -rf "$work"; fi
}
trap cleanup EXIT

# A display of our own.
display=
for n in $(seq 90 140); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=":$n"; break; fi
done
[ -n "$display" ] || { echo "no free X display" >&2; exit 1; }
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb=$!
export DISPLAY=$display
for _ in $(seq 100); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done

# The faults start after the clean part: requests are counted by the box from its first command
# byte, the few of the link start included. Late and garbage answers every few hundred requests;
# every few thousand a silence or a disappearance longer than the request and its two repeats
# (3.8 s), so the program asks. Periods are primes, so the faults drift against each other.
first_fault=$((clean + 20))
late_every=397 garbage_every=401 silent_every=7919 disconnect_every=9973 away_ms=6000
started_us=${EPOCHREALTIME/./}
"$bin/kvt3-sim" --dir "$work" --no-pacing --stats \
  --late "$first_fault/$late_every" --garbage "$((first_fault + 150))/$garbage_every" \
  --silent "$((first_fault + 450))/$silent_every" --silent-for "$away_ms" \
  --disconnect "$((first_fault + 300))/$disconnect_every" --disconnect-for "$away_ms" \
  2>"$work/sim.log" &
sim=$!
for _ in $(seq 100); do [ -e "$work/COM1" ] && break; sleep 0.05; done
[ -e "$work/COM1" ] || { echo "kvt3-sim made no link" >&2; cat "$work/sim.log" >&2; exit 1; }

(cd "$work" && exec "$bin/kvt3") >"$work/kvt3.log" 2>&1 &
kvt3=$!

# Readings so far, from the box's one-second reports "stats: R readings/s (N in T s), ...".
readings() {
  awk '/^stats:/ && match($0, /\([0-9]+ in/) {s += substr($0, RSTART + 1, RLENGTH - 4)}
       END {print s + 0}' "$work/sim.log"
}
rss_kb() { awk '/^VmRSS:/ {print $2}' "/proc/$kvt3/status"; }
fds() { find "/proc/$kvt3/fd" -mindepth 1 -maxdepth 1 | wc -l; }
threads() { find "/proc/$kvt3/task" -mindepth 1 -maxdepth 1 | wc -l; }
alive() { kill -0 "$kvt3" 2>/dev/null; }
# Seconds since the simulator started, the clock of its fault lines.
now() {
  local us=$((${EPOCHREALTIME/./} - started_us))
  printf '%d.%06d' $((us / 1000000)) $((us % 1000000))
}
shown() { xwininfo -id "$1" 2>/dev/null | grep -q 'IsViewable'; }

# What a window says, read off the screen, its lines joined with " / ".
screen_text() {
  import -window "$1" png:- 2>/dev/null | convert png:- -resize 400% -colorspace Gray png:- 2>/dev/null |
    tesseract stdin stdout -l pol --psm 6 2>/dev/null | awk 'NF {$1 = $1; printf "%s%s", sep, $0; sep = " / "}'
}

# The program's message that the text read shows; what cannot be told is kept as read.
message_of() {
  case "$1" in
    *"Urządzenie niedostępne."*"Chcesz przerwać czekanie?"*)
      echo "Urządzenie niedostępne. / Chcesz przerwać czekanie?" ;;
    *"Błąd przy nawiązaniu połączenia."*) echo "Błąd przy nawiązaniu połączenia." ;;
    *"Test przeprowadzony pomyślnie."*) echo "Test przeprowadzony pomyślnie." ;;
    *"Błędna wartość parametru."*) echo "Błędna wartość parametru." ;;
    *"Urządzenie niedostępne ("*")."*)
      local rest=${1#*Urządzenie niedostępne (}
      echo "Urządzenie niedostępne (${rest%%).*})." ;;
    "") echo "(nothing read)" ;;
    *) echo "(not recognised) $1" ;;
  esac
}

# The operator. Everything it does goes to $work/events, one line each:
#   time  phase  dialog  title: message  answered | went by itself | not closed by Return
#   time  phase  F5  resident kB
phase_name=start
answer() {
  local w=$1 at title text message how
  at=$(now)
  title=$(xdotool getwindowname "$w" 2>/dev/null) || return 0
  # A window just mapped may not have painted yet.
  text=
  for _ in 1 2 3; do
    text=$(screen_text "$w") || true
    [ -n "$text" ] && break
    sleep 0.2
  done
  message=$(message_of "$text")
  how="went by itself"
  if shown "$w"; then
    xdotool windowfocus --sync "$w" key Return 2>/dev/null || true
    how="not closed by Return"
    for _ in $(seq 40); do
      shown "$w" || { how=answered; break; }
      sleep 0.05
    done
  fi
  printf '%s\t%s\tdialog\t%s: %s\t%s\n' "$at" "$phase_name" "$title" "$message" "$how" >>"$work/events"
}

last_count=0 still_since=$SECONDS
operate() {
  local w main count dialogs=()
  # The program's windows but the main one: the wait dialog and message boxes. The newest, the
  # one that takes the keys, is the last in stacking order.
  for w in $(xdotool search --onlyvisible --pid "$kvt3" --name '.' 2>/dev/null); do
    [ "$(xdotool getwindowname "$w" 2>/dev/null)" = "KVT 3" ] || dialogs+=("$w")
  done
  if ((${#dialogs[@]})); then
    answer "${dialogs[-1]}"
    still_since=$SECONDS
    return
  fi
  count=$(readings)
  if [ "$count" != "$last_count" ]; then
    last_count=$count
    still_since=$SECONDS
  elif ((SECONDS - still_since >= 8)); then
    main=$(xdotool search --onlyvisible --pid "$kvt3" --name '^KVT 3$' 2>/dev/null | head -1) || true
    if [ -n "$main" ]; then
      xdotool windowfocus --sync "$main" key F5 2>/dev/null || true
      printf '%s\t%s\tF5\t%s\n' "$(now)" "$phase_name" "$(rss_kb)" >>"$work/events"
    fi
    still_since=$SECONDS
  fi
}
: >"$work/events"

sample() { echo "$(readings) $(rss_kb) $(fds) $(threads)"; }

# What there is to see when the readings stand still: the last things the operator and the box
# did, where the port's name leads and which terminal kvt3 holds, the screen; the logs are kept.
stuck() {
  echo "the operator's last events:" >&2
  tail -8 "$work/events" >&2
  echo "the box's last faults:" >&2
  grep '^fault:' "$work/sim.log" | tail -4 >&2
  echo "COM1 -> $(readlink "$work/COM1" 2>/dev/null || echo "(none)");" \
    "kvt3 holds: $(find "/proc/$kvt3/fd" -mindepth 1 -maxdepth 1 -lname '/dev/*' -printf '%l ' 2>/dev/null);" \
    "kvt3-sim holds: $(find "/proc/$sim/fd" -mindepth 1 -maxdepth 1 -lname '/dev/*' -printf '%l ' 2>/dev/null)" >&2
  import -window root "$work/screen.png" 2>/dev/null || true
  keep=1
  exit 1
}

# kvt3 is gone: how it ended (a status above 128 is a signal's number + 128), what it printed.
ended() {
  local rc=0
  wait "$kvt3" || rc=$?
  kvt3=
  echo "kvt3 ended during $phase_name with status $rc; its output:" >&2
  tail -20 "$work/kvt3.log" >&2
  keep=1
  exit 1
}

# Operates until the readings reach $1, or fails when they stand still for 3 minutes.
operate_until() {
  local moved=$SECONDS seen n
  seen=$(readings)
  while alive; do
    n=$(readings)
    ((n >= $1)) && return 0
    if ((n != seen)); then seen=$n moved=$SECONDS; fi
    if ((SECONDS - moved > 180)); then
      echo "readings stood still for 3 minutes at $n during $phase_name" >&2
      stuck
    fi
    operate
    sleep 1
  done
  ended
}

# The first readings: start-up, fonts, the first window paints are over.
operate_until 20000
read -r n0 rss0 fds0 threads0 < <(sample)
echo "after $n0 readings: resident ${rss0} kB, $fds0 descriptors, $threads0 threads"

phase() { # until-readings name
  local began=$SECONDS began_count n rss fd th
  phase_name=$2
  began_count=$(readings)
  operate_until "$1"
  read -r n rss fd th < <(sample)
  echo "$2: $((n - began_count)) readings in $((SECONDS - began)) s;" \
    "resident ${rss} kB ($((rss - rss0)) kB since the first readings), $fd descriptors, $th threads"
}
phase "$((clean + 20))" "clean"
read -r _ rss1 _ _ < <(sample)
phase "$((clean + 20 + faulty))" "with faults"

# On until every silence and disappearance so far has readings after it, so that each is seen to
# end. The box goes on with its faults meanwhile; those it makes after this watch are cut off.
last_away() {
  awk '/^fault: (silent|disconnect) / {r = $0; sub(/.* after /, "", r); sub(/ .*/, "", r)}
       END {print r + 0}' "$work/sim.log"
}
watch_began=$SECONDS
while :; do
  watch_end=$(now)
  pending=$(last_away)
  (($(readings) > pending)) && break
  alive || ended
  if ((SECONDS - watch_began > 180)); then
    echo "no readings for 3 minutes after the box's fault after $pending readings" >&2
    stuck
  fi
  operate
  sleep 1
done

read -r _ rss2 fds2 threads2 < <(sample)
# The box's totals, printed when it stops.
kill -TERM "$sim"
wait "$sim" || true
sim=

# The faults and, after each, what the operator met until the next fault: the dialogs as they
# were answered and the link tests, merged by time.
{
  awk '/^fault: / {
         r = $0; sub(/.* after /, "", r); sub(/ .*/, "", r)
         command = $6; sub(/^\(/, "", command)
         printf "%s\tfault\t%s\t%s\t%s\t%s\n", $(NF - 1), $2, $5, command, r
       }' "$work/sim.log"
  awk -F'\t' '$2 == "with faults"' "$work/events" | cut -f1,3-
} | sort -s -t$'\t' -k1,1g >"$work/merged"
total=$(awk '/^total:/ && match($0, /\([0-9]+ in/) {print substr($0, RSTART + 1, RLENGTH - 4)}' "$work/sim.log")

status=0
finding() { echo "FINDING: $*"; status=1; }

echo
echo "faults the box made (its own count): $(sed -n 's/.*; faults made: //p' "$work/sim.log" | sed 's/;.*//')"
echo "after each kind, what the operator met until the next fault (times seen of faults made):"
awk -F'\t' -v total="${total:-0}" -v watch_end="$watch_end" '
  function away(k) { return k == "silent" || k == "disconnect" }
  # What followed the last fault, up to this line, and what it should have brought.
  function close_fault(   followed, key) {
    if (kind == "") return
    followed = seq == "" ? "nothing asked" : seq
    key = kind "\t" followed
    if (!(key in seen)) order[++keys] = key
    seen[key]++
    if (!away(kind) || time > watch_end) return
    if (kind == "silent" && seq !~ /wait dialog/)
      bad[++nbad] = "silence at request " request " (" command ") not followed by the wait dialog: " followed
    if (kind == "disconnect" && command == "E1" && seq !~ /open failure/)
      bad[++nbad] = "disappearance at request " request " during the cycle not followed by the open-failure message: " followed
    if (kind == "disconnect" && command != "E1" && seq !~ /wait dialog/)
      bad[++nbad] = "disappearance at request " request " (" command ") not followed by the wait dialog: " followed
  }
  # Readings between the last silence or disappearance and the next (or the end).
  function readings_since_away(now_readings) {
    if (away_kind == "") return
    if (now_readings > away_readings) back++
    else if (away_time > watch_end) cut++
    else bad[++nbad] = "no readings after the " away_kind " at request " away_request
  }
  $2 == "fault" {
    close_fault()
    made[$3]++
    if (away($3)) {
      readings_since_away($6)
      away_kind = $3; away_request = $4; away_readings = $6; away_time = $1; aways++
    }
    time = $1; kind = $3; request = $4; command = $5; seq = ""
    next
  }
  {
    what = $2 == "F5" ? "F5" : \
           $3 == "Informacja: Urządzenie niedostępne. / Chcesz przerwać czekanie?" ? "wait dialog" : \
           $3 == "KVT2: Błąd przy nawiązaniu połączenia." ? "open failure" : "\"" $3 "\""
    if ($2 == "dialog" && $4 != "answered") what = what " (" $4 ")"
    seq = seq == "" ? what : seq ", " what
    # Garbage in a reply of the configuration read is taken for what the box stores, and a
    # resolution code beyond the list is a bad parameter.
    if ($2 == "dialog" && what !~ /^(wait dialog|open failure)/ &&
        !(kind == "garbage" && command != "E1" && $3 == "KVT2: Błędna wartość parametru."))
      bad[++nbad] = "a dialog this flow should not show, " \
                    (kind == "" ? "before any fault" : "after the " kind " at request " request " (" command ")") ": " $3
  }
  END {
    close_fault()
    readings_since_away(total)
    split("late garbage silent disconnect", kinds, " ")
    for (k = 1; k <= 4; k++)
      for (i = 1; i <= keys; i++) {
        split(order[i], part, "\t")
        if (part[1] == kinds[k])
          printf "  %-10s %6d of %6d: %s\n", part[1], seen[order[i]], made[part[1]], part[2]
      }
    printf "  silences and disappearances followed by readings again: %d of %d", back, aways - cut
    if (cut) printf " (%d more cut off by the end of the run)", cut
    printf "\n"
    for (i = 1; i <= nbad; i++) print "FINDING: " bad[i]
  }
' "$work/merged" | tee "$work/followed"
grep -q '^FINDING' "$work/followed" && status=1

echo
echo "dialogs (title: text as read on screen), by phase and how they went:"
if [ -s "$work/events" ] && grep -q $'\tdialog\t' "$work/events"; then
  awk -F'\t' '$3 == "dialog" {print $2 "\t" $4 "\t" $5}' "$work/events" | sort | uniq -c |
    awk -F'\t' '{printf "  %s | %s | %s\n", $1, $2, $3}'
else
  echo "  none"
fi
echo "link tests run (F5): $(grep -c $'\tF5' "$work/events" || true); resident kB at each:" \
  "$(awk -F'\t' '$3 == "F5" {printf "%s%s", sep, $4; sep = " "}' "$work/events")"
while IFS=$'\t' read -r _ phase _ what how; do
  if [ "$phase" != "with faults" ]; then finding "a dialog while the box behaved ($phase): $what"; fi
  if [ "$how" = "not closed by Return" ]; then finding "a dialog did not close on Return: $what"; fi
done < <(awk -F'\t' '$3 == "dialog"' "$work/events")

echo
echo "longest time without readings in the faulted part: $(awk -v from="$first_fault" '
  /^stats:/ && match($0, /\([0-9]+ in/) {
    n = substr($0, RSTART + 1, RLENGTH - 4); sum += n
    if (sum < from) next
    run = n == 0 ? run + 1 : 0; if (run > longest) longest = run
  } END {print longest + 0}' "$work/sim.log") s"
growth=$((rss2 - rss0))
if ((growth >= 1024)); then finding "resident memory grew by $growth kB (limit 1024)"; fi
if ((fds2 != fds0)); then finding "descriptors: $fds0 at the start, $fds2 at the end"; fi
if ((threads2 != threads0)); then finding "threads: $threads0 at the start, $threads2 at the end"; fi
echo "soak: resident +$growth kB (+$((rss1 - rss0)) kB clean), descriptors $fds0 -> $fds2," \
  "threads $threads0 -> $threads2; $( ((status == 0)) && echo "no findings" || echo "findings above")"
exit "$status"
