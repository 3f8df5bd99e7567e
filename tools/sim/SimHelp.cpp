#include "SimOptions.h"

namespace sim {

QString helpText()
{
    return QStringLiteral(R"(Usage: quillmere-sim [options]

Simulated temperature controllers on pseudo-terminals: up to 3 serial lines (COM1..COM9)
with up to 32 controllers each (the program polls ten per line), speaking Modbus RTU or VELN. Each line is published as
<home>/ports/COM<n>, a symbolic link to its /dev/pts device. When everything is published
one line is printed:  quillmere-sim ready COM1=/dev/pts/5 COM2=/dev/pts/6

Options:
  --home DIR            folder that receives ports/COM<n> (default: $QUILLMERE_HOME, else
                        the current folder)
  --config FILE         read options from FILE (see below); may be mixed with other options
  --line KEYS           a line: com=<1..9>,psl=rtu|veln,converter=rs422|rs485,
                        baud=auto|<bit/s>      (defaults: psl=rtu converter=rs422 baud=auto)
                        rs422 = 4-wire converter: the request comes back in front of the reply
                        baud=auto answers at whatever speed the client sets; a fixed speed
                        leaves a client at another speed without answer
  --station KEYS        a controller: com=<n>,id=<ID> and optionally
                        sv= pv= out= status= family= input= dp=  (codes 0 138 135 136 134 72 75)
                        reg<code>=<value>   any register 0..255
                        model=on|off        thermal model (off keeps registers as set)
                        tau=<s>             thermal time constant of this controller
  --stations KEYS       several: com=<n>,ids=<first>-<last> plus any station key for all
  --frozen              thermal model off for every controller without model=on
  --tau S               thermal time constant in seconds (default 20)
  --seed N              seed of the PV noise (default 1), for reproducible runs
  --turnaround-ms MS    controller turnaround before its reply (default 1.0)
  --no-wire-timing      answer after the turnaround only, without the time the bytes
                        would take on the wire at the line speed (11 bits per character)
  --frame-log FILE      one line per received frame: "<ms> COM<n> <hex>", ignored ones too
  --port-log FILE       one line per open and close of a port by a client, and per port
                        gone or back: "<ms> COM<n> open|close|online <device>|offline"
  -h, --help            this text

A line named by a station but not by --line gets the default line settings. Without any
line or station the simulator runs COM1 with controllers 1..10.
Defaults of a controller: family=104 input=0 dp=1 sv=1000 pv=250 out=0 status=0, all other
registers 0. Values are register counts (25.3 degrees with one decimal is 253).

Config file: one option per line, without the dashes; line/station/stations take their
keys separated by spaces. '#' starts a comment.
  line com=1 psl=rtu converter=rs485 baud=auto
  stations com=1 ids=1-8 sv=1500
  station com=1 id=9 family=104 input=53 dp=2 sv=2500 pv=2400 model=off
  turnaround-ms 0.5

Control commands on stdin, each answered by one line "ok", "value <v>" or "error <text>":
  fault <com> <id> <kind> [count]   kind: silent | badcrc | short | long | late <ms> |
                                    swapcrc (rtu) | none; count = replies affected
                                    (default: until "none")
  gone <com>                        the line's adapter is pulled out: pty closed (a client's
                                    open port hangs up), link removed
  back <com>                        plugged in again: a new pty, the link published again
  set <com> <id> <code> <value>     write a register
  get <com> <id> <code>             read a register: "value <v>" (signed)
  quit                              clean exit
End of stdin is not a quit. SIGTERM, SIGINT and SIGHUP exit cleanly; links are removed.

Exit status: 0 after quit or a signal, 2 for bad options, 1 when a port cannot be set up.
)");
}

} // namespace sim
