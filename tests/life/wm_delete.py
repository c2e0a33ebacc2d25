#!/usr/bin/env python3
"""Asks an X11 window to close, as a window manager's close button does.

Sends the ClientMessage WM_PROTOCOLS / WM_DELETE_WINDOW to the window, which a
toolkit answers with its own close request. Under a bare Xvfb there is no
window manager to do this, and neither xdotool nor wmctrl can: xdotool only
destroys or kills, wmctrl asks a window manager that is not there. Speaks the
X11 protocol directly over the display's local socket (standard library only).

Usage: wm_delete.py WINDOW_ID   (DISPLAY names the server, e.g. :93)
"""
import os
import re
import socket
import struct
import sys


def recv_exact(sock, n):
    data = b""
    while len(data) < n:
        chunk = sock.recv(n - len(data))
        if not chunk:
            raise ConnectionError("X server closed the connection")
        data += chunk
    return data


def read_reply(sock):
    head = recv_exact(sock, 32)
    if head[0] == 0:
        code = head[1]
        raise RuntimeError(f"X error {code} (request {head[10]})")
    if head[0] != 1:  # an event; none is selected, but skip it anyway
        return read_reply(sock)
    extra = struct.unpack("<I", head[4:8])[0]
    return head + recv_exact(sock, 4 * extra)


def intern_atom(sock, name):
    raw = name.encode()
    pad = (4 - len(raw) % 4) % 4
    length = 2 + (len(raw) + pad) // 4
    sock.sendall(struct.pack("<BBHHxx", 16, 0, length, len(raw)) + raw + b"\0" * pad)
    return struct.unpack("<I", read_reply(sock)[8:12])[0]


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    window = int(sys.argv[1], 0)
    match = re.fullmatch(r"[^:]*:(\d+)(\.\d+)?", os.environ.get("DISPLAY", ""))
    if not match:
        sys.exit("DISPLAY must name a local display such as :93")
    sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    sock.connect(f"/tmp/.X11-unix/X{match.group(1)}")

    # Connection setup, little-endian, no authorisation (a bare Xvfb needs none).
    sock.sendall(struct.pack("<BxHHHHxx", 0x6C, 11, 0, 0, 0))
    head = recv_exact(sock, 8)
    extra = struct.unpack("<H", head[6:8])[0]
    body = recv_exact(sock, 4 * extra)
    if head[0] != 1:
        reason = body[: head[1]].decode(errors="replace")
        sys.exit(f"X server refused the connection: {reason}")

    protocols = intern_atom(sock, "WM_PROTOCOLS")
    delete = intern_atom(sock, "WM_DELETE_WINDOW")

    # SendEvent(propagate=False, destination=window, mask=0): with no mask the
    # event goes to the client that created the window.
    event = struct.pack("<BBHII5I", 33, 32, 0, window, protocols, delete, 0, 0, 0, 0)
    sock.sendall(struct.pack("<BBHII", 25, 0, 11, window, 0) + event)
    # GetInputFocus as a round trip: its reply (or an error before it) tells
    # that the server has handled the SendEvent.
    sock.sendall(struct.pack("<BxH", 43, 1))
    read_reply(sock)
    sock.close()


if __name__ == "__main__":
    main()
