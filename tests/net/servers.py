#!/usr/bin/python3
"""Modbus TCP servers for the network line's end-to-end tests, one per way a
server can behave: sound (pymodbus, or a plain one that can be killed and
started again), slow with some replies, or broken in what it sends.

    servers.py MODE [PORT]

Listens on 127.0.0.1 (PORT 0 or none: any free port) and prints the port
as the first line of standard output. Each connection taken is told on
standard error as "accepted N". Modes:

    pymodbus   pymodbus's own server; holding registers 0..29 hold 1000 + i
    serve      answers reads (registers hold 100 + i) and writes, in turn
    late       as serve, but holds every third reply back for 700 ms, more
               than the tool's 500 ms reply time-out; the requests that
               come meanwhile are answered after it, in order
    length     answers every request with a header whose length field is
               60000, then a few bytes of it, and never the rest
    endless    sends bytes of no frame at all, as fast as the client takes
               them, from the moment it connects
"""

import asyncio
import socket
import struct
import sys
import time

REGISTER_COUNT = 30
LATE_DELAY = 0.7


def listen(port):
    server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind(("127.0.0.1", port))
    server.listen(4)
    print(server.getsockname()[1], flush=True)
    return server


def receive_exactly(connection, count):
    data = b""
    while len(data) < count:
        chunk = connection.recv(count - len(data))
        if not chunk:
            return None
        data += chunk
    return data


def read_request(connection):
    """The next request's transaction id, unit id and PDU, or None at the end."""
    header = receive_exactly(connection, 7)
    if header is None:
        return None
    transaction, _protocol, length, unit = struct.unpack(">HHHB", header)
    pdu = receive_exactly(connection, length - 1)
    if pdu is None:
        return None
    return transaction, unit, pdu


def answer(registers, pdu):
    """The reply PDU to a read (03) or write (06) of holding registers."""
    function = pdu[0]
    if function == 3:
        start, count = struct.unpack(">HH", pdu[1:5])
        values = registers[start:start + count]
        return bytes([3, 2 * len(values)]) + b"".join(struct.pack(">H", v) for v in values)
    if function == 6:
        register, value = struct.unpack(">HH", pdu[1:5])
        registers[register] = value
        return pdu[:5]
    return bytes([function | 0x80, 1])


def frame(transaction, unit, pdu):
    return struct.pack(">HHHB", transaction, 0, len(pdu) + 1, unit) + pdu


def serve_in_turn(server, handle):
    accepted = 0
    while True:
        connection, _ = server.accept()
        accepted += 1
        print("accepted", accepted, file=sys.stderr, flush=True)
        try:
            handle(connection)
        except OSError:
            pass
        finally:
            connection.close()


def plain(connection, late_every=0):
    registers = [100 + i for i in range(REGISTER_COUNT)]
    served = 0
    while True:
        request = read_request(connection)
        if request is None:
            return
        transaction, unit, pdu = request
        served += 1
        if late_every and served % late_every == 0:
            time.sleep(LATE_DELAY)
        connection.sendall(frame(transaction, unit, answer(registers, pdu)))


def length(connection):
    while True:
        request = read_request(connection)
        if request is None:
            return
        transaction, unit, _pdu = request
        connection.sendall(struct.pack(">HHHB", transaction, 0, 60000, unit) + bytes(16))


def endless(connection):
    garbage = bytes([0xA5]) * 4096
    while True:
        connection.sendall(garbage)


async def pymodbus_server():
    from pymodbus.datastore import (ModbusSequentialDataBlock, ModbusServerContext,
                                    ModbusSlaveContext)
    from pymodbus.server.async_io import ModbusTcpServer

    block = ModbusSequentialDataBlock(0, [1000 + i for i in range(REGISTER_COUNT)])
    context = ModbusServerContext(slaves=ModbusSlaveContext(hr=block, zero_mode=True),
                                  single=True)
    port = int(sys.argv[2]) if len(sys.argv) > 2 else 0
    server = ModbusTcpServer(context, address=("127.0.0.1", port), allow_reuse_address=True)
    task = asyncio.ensure_future(server.serve_forever())
    await server.serving
    print(server.server.sockets[0].getsockname()[1], flush=True)
    await task


def main():
    mode = sys.argv[1]
    if mode == "pymodbus":
        asyncio.run(pymodbus_server())
        return
    handlers = {
        "serve": plain,
        "late": lambda connection: plain(connection, late_every=3),
        "length": length,
        "endless": endless,
    }
    server = listen(int(sys.argv[2]) if len(sys.argv) > 2 else 0)
    serve_in_turn(server, handlers[mode])


if __name__ == "__main__":
    main()
