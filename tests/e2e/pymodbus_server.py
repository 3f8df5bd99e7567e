#!/usr/bin/python3
"""A Modbus RTU server from pymodbus on one serial device, for the interoperability test.

Holding registers 0..size-1 of one unit, addressed as they stand on the wire (zero_mode),
no parity; a read beyond them gets the exception reply "illegal data address". Prints "pymodbus-server ready" once the device is open and served. Control lines on
stdin, each answered by one line:
    get <register>            -> "value <v>" (unsigned 16 bit)
    set <register> <value>    -> "ok"
SIGTERM, SIGINT or the end of stdin stop it cleanly.

Must run under Debian's /usr/bin/python3: that is where python3-pymodbus is importable.
"""

import argparse
import asyncio
import signal
import sys

from pymodbus.datastore import (
    ModbusSequentialDataBlock,
    ModbusServerContext,
    ModbusSlaveContext,
)
from pymodbus.server import StartAsyncSerialServer
from pymodbus.transaction import ModbusRtuFramer

def parse_args():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--port", required=True, help="serial device to serve on")
    parser.add_argument("--unit", type=int, default=1, help="unit (slave) id")
    parser.add_argument("--baudrate", type=int, default=38400)
    parser.add_argument("--size", type=int, default=256, help="number of holding registers")
    parser.add_argument(
        "--register",
        action="append",
        default=[],
        metavar="REG=VALUE",
        help="initial holding register value; may be repeated",
    )
    return parser.parse_args()


def initial_values(size, assignments):
    values = [0] * size
    for item in assignments:
        reg, _, value = item.partition("=")
        values[int(reg)] = int(value) & 0xFFFF
    return values


def answer(store, line):
    words = line.split()
    try:
        if len(words) == 2 and words[0] == "get":
            return "value %d" % store.getValues(3, int(words[1]), 1)[0]
        if len(words) == 3 and words[0] == "set":
            store.setValues(6, int(words[1]), [int(words[2]) & 0xFFFF])
            return "ok"
    except (ValueError, IndexError) as exc:
        return "error %s" % exc
    return "error unknown command: %s" % line.strip()


async def serve(args):
    store = ModbusSlaveContext(
        hr=ModbusSequentialDataBlock(0, initial_values(args.size, args.register)), zero_mode=True
    )
    context = ModbusServerContext(slaves={args.unit: store}, single=False)
    server = await StartAsyncSerialServer(
        context=context,
        framer=ModbusRtuFramer,
        port=args.port,
        baudrate=args.baudrate,
        bytesize=8,
        parity="N",
        stopbits=1,
        defer_start=True,
    )
    await server.start()
    if server.transport is None:
        print("pymodbus-server cannot open %s" % args.port, file=sys.stderr, flush=True)
        return 1

    loop = asyncio.get_running_loop()
    stop = asyncio.Event()
    for signum in (signal.SIGTERM, signal.SIGINT):
        loop.add_signal_handler(signum, stop.set)

    def on_stdin():
        line = sys.stdin.readline()
        if not line:
            loop.remove_reader(sys.stdin.fileno())
            stop.set()
            return
        print(answer(store, line), flush=True)

    loop.add_reader(sys.stdin.fileno(), on_stdin)
    print("pymodbus-server ready %s" % args.port, flush=True)
    await stop.wait()
    await server.shutdown()
    return 0


if __name__ == "__main__":
    sys.exit(asyncio.run(serve(parse_args())))
