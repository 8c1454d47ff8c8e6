#include "platform/Licence.h"
#include "sim/Options.h"

#ifndef KVT3_VERSION
#define KVT3_VERSION "0"
#endif

namespace sim {

const char* usageText() {
    return R"(kvt3-sim: a simulated KVT 3 readout box on a pseudo-terminal.

It links the terminal as COM1 in the current directory, so kvt3 started in the same directory
finds it, serves until Ctrl-C (SIGINT) or SIGTERM, and removes the link then. With no options it
is a kind 1 box with three axes, Z angular, all moving slowly.

Usage: kvt3-sim [--option value | --option=value]...

Port and line:
  --dir DIR              directory of the link, made when missing (default: the current one);
                         kvt3 --desktop works in ~/.local/share/kvt3
  --port NAME            name of the link (default COM1)
  --no-pacing            bytes as fast as the pseudo-terminal goes (default: each byte takes
                         11 bit times at 9600 baud, 1.146 ms, both ways)
  --turnaround US        the box's reaction time before it sends, microseconds (default 0)
  --host-timeout MS      the box drops a position reply or a write when the host's next
                         acknowledgement or parameter byte has not come after MS (default 1000)

What the box stores (read and written by the host):
  --kind N               1 to 4 (default 1): kind 1 has X, Y when Y's resolution code is not 0,
                         Z when Z's is not 0 either; kinds 2, 3, 4 have 1, 2, 3 axes
  --readiness HEX        answer to the readiness request (default E0 for kind 1, 10, 20, 30 for
                         kinds 2, 3, 4); e.g. 0F makes the host see no usable box
  --resolution X,Y,Z     resolution codes (default 2,2,2; kinds 2 to 4 at most 15)
  --calibration X,Y,Z    calibration factors (default 1,1,1)
  --lines X,Y,Z          line counts (default 4000,4000,36000)
  --types BITS           angular axes: bit 0 X, bit 1 Y, bit 2 Z (default 4: Z angular)
  --correction A:P=C,..  segment correction rows of axis A (x, y or z): position=corrected
  --correction-flags HEX correction on: bit 4 X, bit 5 Y, bit 6 Z; e.g. 70 for all three
  --state FILE           keep what the box stores in FILE: read at start (options given here
                         override it), written after every write from the host

How the counters move (counts; T in seconds):
  --motion A=still:C                 stands at C
  --motion A=ramp:RATE[:START]       RATE counts a second
  --motion A=sine:AMPL:PERIOD[:MID]  swings AMPL either side of MID every PERIOD s
  --motion A=script:T=C,T=C,..[,loop]  through the points, linear between them
                         (default: x=sine:50000:20, y=ramp:500, z=ramp:100)
  --reference-travel MS  from the reference command to the mark (default 1500); the axis reads
                         0 until then and counts from 0 after it
  --raw-counts           kinds 2 to 4: report the counts without the box's own calibration and
                         segment correction (applied by default)
  --seed N               seed of the garbage bytes
  Signals while it runs: SIGUSR1 moves every axis on by 1000 counts at once, on top of its
  motion; SIGSTOP silences the box (nothing is read or answered) and SIGCONT brings it back.

Faults (requests are the command bytes the box has taken, counted from 1):
  --silent-after N       answer N requests, then nothing (0: silent from the start)
  --silent N[/EVERY]     answer nothing from request N on (and from every EVERY-th after it,
                         counted over the requests taken), as a box switched off on a port
                         that stays
  --silent-after-reference
                         answer nothing right after acknowledging a reference command
  --silent-for MS        ... and answer again MS later (default: never)
  --byte-delay MS        every byte the box sends waits MS more
  --late N[/EVERY]       answer request N (and every EVERY-th after) late
  --late-by MS           how late (default 1500; the host gives a reading up after 1200)
  --garbage N[/EVERY]    send garbage instead of the answer to request N
  --garbage-bytes K      how many bytes of garbage (default 5)
  --refuse K             once in every write, EA instead of E0 for byte K (0: the command byte,
                         1..: the parameter bytes); the host sends the byte again
  --bad-ack K[:HEX]      HEX (default 55) instead of E0 for byte K of every write; the box drops
                         the write
  --disconnect N[/EVERY] at request N the box disappears: the terminal closes (the host's port
                         hangs up) and the link leads nowhere, as a link to an unplugged
                         adapter does
  --disconnect-for MS    ... and comes back after MS (default 3000) under the same link
  Parity and framing errors cannot travel on a pseudo-terminal; the in-memory line of the tests
  makes them.

Output (on standard error):
  --trace                every byte with its direction and time, and what the box made of it
  --stats                readings a second and the host's turnaround per byte (from the box's
                         byte to the host's acknowledgement), every second and at the end;
                         each fault above as the box makes it, and how many of each kind
  --help                 this text
  --version              the version and the licence

Examples:
  kvt3-sim                                  the demo: kind 1, three axes, Z angular
  kvt3-sim --kind 3                         kind 3: axes X and Y
  kvt3-sim --kind 1 --resolution 2,2,0      kind 1 with X and Y only
  kvt3-sim --state box.kv3 --stats          keeps what kvt3 writes; shows the reading rate
  kvt3-sim --late 20/50 --trace             every 50th request from the 20th answered late
  kvt3-sim --silent-after 30 --silent-for 4000   a box that falls silent for 4 s
  kvt3-sim --silent 100/2000 --silent-for 6000   ... for 6 s every 2000 requests
  kvt3-sim --kind 4 --correction x:0=0,10000=10010 --correction-flags 10
)";
}

std::string versionText() {
    return std::string("kvt3-sim " KVT3_VERSION "\n") + platform::LicenceNotice;
}

}  // namespace sim
