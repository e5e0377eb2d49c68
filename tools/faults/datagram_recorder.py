"""A client that records every datagram of a master or a relay by its
sequence number, subscribed the way a slave subscribes (a Hello at once and
every second, an Ack after each update's end), on a thread of its own.
Two recorders, one at the master and one behind a trunk, tell whether the
trunk restored every datagram byte for byte."""

import socket
import struct
import threading
import time

HELLO, ACK, END = -5, -6, -1


class Recorder:
    def __init__(self, port, seconds):
        self.port = port
        self.seconds = seconds
        self.by_seq = {}
        self.copies_differing = 0
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.sock.bind(("127.0.0.1", 0))
        self.sock.settimeout(0.1)
        self.thread = threading.Thread(target=self._run, daemon=True)
        self.thread.start()

    def _send(self, kind, seq):
        self.sock.sendto(struct.pack("<ii", kind, seq), ("127.0.0.1", self.port))

    def _run(self):
        end = time.time() + self.seconds
        next_hello = 0.0
        own = 0
        while time.time() < end:
            if time.time() >= next_hello:
                self._send(HELLO, own)
                own += 1
                next_hello = time.time() + 1.0
            try:
                data, _ = self.sock.recvfrom(70000)
            except socket.timeout:
                continue
            if len(data) < 8:
                continue
            kind, seq = struct.unpack_from("<ii", data)
            if seq in self.by_seq and self.by_seq[seq] != data:
                self.copies_differing += 1
            self.by_seq[seq] = data
            if kind == END:
                self._send(ACK, own)
                own += 1
        self.sock.close()

    def join(self):
        self.thread.join(self.seconds + 5)


def compare(reference, behind):
    """(datagrams compared, differing) over the numbers both recorded."""
    common = set(reference.by_seq) & set(behind.by_seq)
    differing = sum(1 for seq in common if reference.by_seq[seq] != behind.by_seq[seq])
    return len(common), differing + behind.copies_differing
