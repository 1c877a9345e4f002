#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Asks a headless Chromium (started with --remote-debugging-port) about its first page, through
the DevTools protocol over a WebSocket written here with the standard library alone:

  cdp.py PORT eval EXPRESSION            prints the value of EXPRESSION in the page (JSON)
  cdp.py PORT wait EXPRESSION [SECONDS]  waits until EXPRESSION is true; prints the seconds it took
  cdp.py PORT screenshot FILE.png        writes what the page shows

Exit status 1 when the page cannot be reached, the expression throws, or the wait runs out."""

import base64
import json
import os
import socket
import struct
import sys
import time
import urllib.request


def page_socket(port):
    with urllib.request.urlopen(f"http://127.0.0.1:{port}/json/list", timeout=5) as answer:
        pages = [t for t in json.load(answer) if t.get("type") == "page"]
    if not pages:
        sys.exit("cdp: no page open")
    url = pages[0]["webSocketDebuggerUrl"]
    host, _, path = url[len("ws://"):].partition("/")
    name, _, number = host.partition(":")
    sock = socket.create_connection((name, int(number)), timeout=10)
    key = base64.b64encode(os.urandom(16)).decode()
    sock.sendall((f"GET /{path} HTTP/1.1\r\nHost: {host}\r\nUpgrade: websocket\r\n"
                  f"Connection: Upgrade\r\nSec-WebSocket-Key: {key}\r\n"
                  "Sec-WebSocket-Version: 13\r\n\r\n").encode())
    head = b""
    while b"\r\n\r\n" not in head:
        head += sock.recv(1)
    if b" 101 " not in head.split(b"\r\n")[0]:
        sys.exit("cdp: " + head.decode(errors="replace"))
    return sock


def send(sock, text):
    data = text.encode()
    mask = os.urandom(4)
    size = len(data)
    if size < 126:
        head = struct.pack("!BB", 0x81, 0x80 | size)
    elif size < 65536:
        head = struct.pack("!BBH", 0x81, 0x80 | 126, size)
    else:
        head = struct.pack("!BBQ", 0x81, 0x80 | 127, size)
    sock.sendall(head + mask + bytes(b ^ mask[i % 4] for i, b in enumerate(data)))


def exact(sock, size):
    data = b""
    while len(data) < size:
        piece = sock.recv(size - len(data))
        if not piece:
            sys.exit("cdp: connection closed")
        data += piece
    return data


def receive(sock):
    message = b""
    while True:
        first, second = exact(sock, 2)
        size = second & 0x7F
        if size == 126:
            size = struct.unpack("!H", exact(sock, 2))[0]
        elif size == 127:
            size = struct.unpack("!Q", exact(sock, 8))[0]
        message += exact(sock, size)
        if first & 0x80:
            return message.decode()


calls = 0


def call(sock, method, **params):
    global calls
    calls += 1
    send(sock, json.dumps({"id": calls, "method": method, "params": params}))
    while True:
        answer = json.loads(receive(sock))
        if answer.get("id") == calls:
            if "error" in answer:
                sys.exit("cdp: " + json.dumps(answer["error"]))
            return answer["result"]


def evaluate(port, expression):
    sock = page_socket(port)
    try:
        result = call(sock, "Runtime.evaluate", expression=expression, returnByValue=True)
    finally:
        sock.close()
    if "exceptionDetails" in result:
        return None, result["exceptionDetails"].get("text", "exception")
    return result["result"].get("value"), None


def main():
    port, command = sys.argv[1], sys.argv[2]
    if command == "eval":
        value, error = evaluate(port, sys.argv[3])
        print(json.dumps(value))
        return 1 if error else 0
    if command == "wait":
        limit = float(sys.argv[4]) if len(sys.argv) > 4 else 10
        begun = time.monotonic()
        while time.monotonic() - begun < limit:
            try:
                value, _ = evaluate(port, sys.argv[3])
            except (OSError, SystemExit):
                value = None  # the page is between two loads
            if value is True:
                print(f"{time.monotonic() - begun:.2f}")
                return 0
            time.sleep(0.05)
        print(f"cdp: still not true after {limit} s: {sys.argv[3]}", file=sys.stderr)
        return 1
    if command == "screenshot":
        sock = page_socket(port)
        shot = call(sock, "Page.captureScreenshot", format="png")
        sock.close()
        with open(sys.argv[3], "wb") as out:
            out.write(base64.b64decode(shot["data"]))
        return 0
    sys.exit(__doc__)


if __name__ == "__main__":
    sys.exit(main())
