#!/usr/bin/env python3
"""Hostile clients against a lumora-server on 127.0.0.1, while an honest client probes it.

  bench/hostile_clients.py PORT trickle|idle|logins|stalled [--clients N] [--addresses K]
                           [--seconds S] [--pid PID] [--song ID] [--owner new|known]
                           [--unknown-accounts]

N connections (default 1020) come from K loopback addresses (127.0.0.2 on; default 1). In
"trickle" each sends a request line and then one header byte a second, never ending its
headers; in "idle" they send nothing. A connection the server closes is opened again at once,
as an attacker would. In "logins" each connection guesses passwords of one demo account, one
login after another, as fast as it is answered (with --unknown-accounts, a new unregistered
account each time). In "stalled" each asks for the song ID's audio
and never reads it; the server's resident memory (of process PID) is printed at the start, at
its highest while they wait, and 5 s after they have gone.

Once a second the honest client asks GET /top/playlist?limit=1 from 127.0.0.1 (waiting up to
15 s) and counts the answers that came within 1 s; in "logins" it also logs in with the right
password every 5 s: into another account, or with --owner into the guessed one, as its owner
(known: it logged in from 127.0.0.1 once before the guessers began). Prints the probes answered, the slowest answer and how many hostile
connections were open at the end. Loopback only; stops by itself after S seconds (default 60).
"""
import argparse
import re
import selectors
import socket
import threading
import time

RIGHT = "98a6619f9bc9cdd67e27e884d758da4b"
WRONG = "0" * 32


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


def ask(port, target, source="127.0.0.1", method="GET", timeout=15.0):
    """The answer's status line and code, or None; and how long it took."""
    start = time.monotonic()
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=timeout,
                                      source_address=(source, 0)) as s:
            s.sendall(("%s %s HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
                       "Content-Length: 0\r\n\r\n" % (method, target)).encode())
            data = b""
            while True:
                chunk = s.recv(4096)
                if not chunk:
                    break
                data += chunk
        code = re.search(rb'"code":(-?\d+)', data)
        return (data[9:12].decode(), code and code.group(1).decode()), time.monotonic() - start
    except OSError:
        return None, time.monotonic() - start


def probe(port):
    answer, took = ask(port, "/top/playlist?limit=1")
    return took if answer and answer[0] == "200" else None if answer else -took


def resident_kib(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def logins(a, sources):
    """Guessers on every connection at once; returns when the time is up."""
    counts = {"checked": 0, "refused": 0, "other": 0}
    lock = threading.Lock()
    honest = "/login/cellphone?phone=%s&md5_password=%s" % (
        "13800000001" if a.owner else "13800000010", RIGHT)
    if a.owner == "known":
        answer, _ = ask(a.port, honest, method="POST")
        assert answer and answer[1] == "200", answer
    end = time.monotonic() + a.seconds

    def guess(slot):
        tries = 0
        while time.monotonic() < end:
            tries += 1
            phone = "139%02d%06d" % (slot % 100, tries) if a.unknown_accounts else "13800000001"
            answer, _ = ask(a.port, "/login/cellphone?phone=%s&md5_password=%s" % (phone, WRONG),
                            sources[slot % len(sources)], "POST")
            kind = ("checked" if answer and answer[1] in ("501", "502") else
                    "refused" if answer and answer[1] == "429" else "other")
            with lock:
                counts[kind] += 1
            if kind == "other":
                time.sleep(0.1)

    threads = [threading.Thread(target=guess, args=(i,), daemon=True) for i in range(a.clients)]
    for t in threads:
        t.start()
    probes, answered, slowest, login_slowest, login_ok, logins_tried = 0, 0, 0.0, 0.0, 0, 0
    while time.monotonic() < end:
        tick = time.monotonic()
        _, took = ask(a.port, "/top/playlist?limit=1")
        probes += 1
        answered += took <= 1.0
        slowest = max(slowest, took)
        if probes % 5 == 0:
            answer, took = ask(a.port, honest, method="POST")
            logins_tried += 1
            login_ok += bool(answer and answer[1] == "200")
            login_slowest = max(login_slowest, took)
        time.sleep(max(0.0, 1.0 - (time.monotonic() - tick)))
    for t in threads:
        t.join()
    print("mode logins, %d guessers of %s from %d address(es), %d s: passwords checked %.2f/s, "
          "refused at once %.1f/s; honest probes within 1 s %d/%d, slowest %.3f s; "
          "honest logins (%s) %d/%d, slowest %.3f s"
          % (a.clients, "unknown accounts" if a.unknown_accounts else "one account", a.addresses,
             a.seconds, counts["checked"] / a.seconds, counts["refused"] / a.seconds, answered,
             probes, slowest, "its owner, " + a.owner if a.owner else "another account",
             login_ok, logins_tried, login_slowest))


def stalled(a, sources):
    before = resident_kib(a.pid)
    readers = []
    for i in range(a.clients):
        s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
        s.bind((sources[i % len(sources)], 0))
        try:
            s.connect(("127.0.0.1", a.port))
            s.sendall(("GET /audio/%s.mp3 HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"
                       % a.song).encode())
            readers.append(s)
        except OSError:
            s.close()
    peak = before
    end = time.monotonic() + min(a.seconds, 20)
    while time.monotonic() < end:
        peak = max(peak, resident_kib(a.pid))
        time.sleep(0.5)
    _, took = ask(a.port, "/top/playlist?limit=1")
    for s in readers:
        s.close()
    time.sleep(5)
    after = resident_kib(a.pid)
    print("mode stalled, %d readers from %d address(es) (%d connected): resident %.1f MB "
          "before, %.1f MB at most while they wait (%.1f KiB each), %.1f MB 5 s after; "
          "an honest probe meanwhile %.3f s"
          % (a.clients, a.addresses, len(readers), before / 1024, peak / 1024,
             (peak - before) / max(1, len(readers)), after / 1024, took))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("port", type=int)
    ap.add_argument("mode", choices=["trickle", "idle", "logins", "stalled"])
    ap.add_argument("--clients", type=int, default=1020)
    ap.add_argument("--addresses", type=int, default=1)
    ap.add_argument("--seconds", type=int, default=60)
    ap.add_argument("--pid", type=int, default=0)
    ap.add_argument("--song", default="1000024")
    ap.add_argument("--owner", choices=["new", "known"])
    ap.add_argument("--unknown-accounts", action="store_true")
    a = ap.parse_args()
    sources = ["127.0.%d.%d" % ((2 + i) // 250, (2 + i) % 250) for i in range(a.addresses)]
    if a.mode == "logins":
        return logins(a, sources)
    if a.mode == "stalled":
        return stalled(a, sources)
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
    unanswered = []  # seconds until the connection failed
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
        if took is not None and took < 0:
            unanswered.append(round(-took, 3))
        elif took is not None:
            answered += took <= 1.0
            slowest = max(slowest, took)
    print("mode %s, %d clients from %d address(es), %d s: probes answered within 1 s %d/%d, "
          "slowest %.3f s, failed after %s s, hostile connections open at the end %d, "
          "reopened %d"
          % (a.mode, a.clients, a.addresses, a.seconds, answered, probes, slowest, unanswered,
             len(conns), reopened))
    for slot in list(conns):
        drop(slot)


if __name__ == "__main__":
    main()
