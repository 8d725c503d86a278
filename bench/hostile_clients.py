#!/usr/bin/env python3
"""Hostile clients against a lumora-server on 127.0.0.1, while an honest client probes it.

  bench/hostile_clients.py PORT trickle|idle [--clients N] [--addresses K] [--seconds S]

N connections (default 1020) come from K loopback addresses (127.0.0.2 on; default 1). In
"trickle" each sends a request line and then one header byte a second, never ending its
headers; in "idle" they send nothing. A connection the server closes is opened again at once,
as an attacker would. Once a second the honest client asks GET /top/playlist?limit=1 from
127.0.0.1 and counts the answers that came within 1 s. Prints the probes answered, the
slowest answer and how many hostile connections were open at the end. Loopback only; stops
by itself after S seconds (default 60).
"""
import argparse
import selectors
import socket
import time


def connect(port, source):
    s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    s.setblocking(False)
    s.bind((source, 0))
    try:
        s.connect(("127.0.0.1", port))
    except BlockingIOError:
        pass
    except OSError:
        s.close()
        return None
    return s


def probe(port):
    start = time.monotonic()
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=1.0) as s:
            s.sendall(b"GET /top/playlist?limit=1 HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                      b"Connection: close\r\n\r\n")
            data = s.recv(64)
            if data.startswith(b"HTTP/1.1 200"):
                return time.monotonic() - start
    except OSError:
        pass
    return None


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("port", type=int)
    ap.add_argument("mode", choices=["trickle", "idle"])
    ap.add_argument("--clients", type=int, default=1020)
    ap.add_argument("--addresses", type=int, default=1)
    ap.add_argument("--seconds", type=int, default=60)
    a = ap.parse_args()
    sources = ["127.0.0.%d" % (2 + i) for i in range(a.addresses)]
    sel = selectors.DefaultSelector()
    conns = {}  # slot -> socket

    def reopen(slot):
        s = connect(a.port, sources[slot % len(sources)])
        if s:
            conns[slot] = s
            sel.register(s, selectors.EVENT_READ, slot)

    def drop(slot):
        s = conns.pop(slot, None)
        if s:
            sel.unregister(s)
            s.close()

    for slot in range(a.clients):
        reopen(slot)
    answered, probes, slowest, reopened = 0, 0, 0.0, 0
    sent_line = set()
    end = time.monotonic() + a.seconds
    next_tick = time.monotonic()
    while time.monotonic() < end:
        for key, _ in sel.select(timeout=max(0.0, next_tick - time.monotonic())):
            try:
                gone = not key.fileobj.recv(4096)
            except OSError:
                gone = True
            if gone:
                drop(key.data)
        if time.monotonic() < next_tick:
            continue
        next_tick += 1.0
        for slot in range(a.clients):
            if slot not in conns:
                reopen(slot)
                sent_line.discard(slot)
                reopened += 1
                continue
            if a.mode == "trickle":
                data = b"x" if slot in sent_line else b"GET / HTTP/1.1\r\nX-Slow: "
                try:
                    conns[slot].send(data)
                    sent_line.add(slot)
                except OSError:
                    pass
        took = probe(a.port)
        probes += 1
        if took is not None and took <= 1.0:
            answered += 1
            slowest = max(slowest, took)
    print("mode %s, %d clients from %d address(es), %d s: probes answered within 1 s %d/%d, "
          "slowest %.3f s, hostile connections open at the end %d, reopened %d"
          % (a.mode, a.clients, a.addresses, a.seconds, answered, probes, slowest, len(conns),
             reopened))
    for slot in list(conns):
        drop(slot)


if __name__ == "__main__":
    main()
