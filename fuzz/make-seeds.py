#!/usr/bin/env python3
"""Writes the seed corpus of every fuzz target into fuzz/corpus/<target>/.

The seeds are the cases the application meets for real: a device's stream as the encoder
makes it, the handshake of a named device, adb's own output, the shipped settings files and
one of each control message. Run it again after changing a target's input layout.
"""
import os
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
NO_PTS = 0xFFFFFFFFFFFFFFFF


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def h264_units(width, height, frames):
    """Access units of a short libx264 stream, as the device's encoder settings make them."""
    with tempfile.NamedTemporaryFile(suffix=".h264") as out:
        subprocess.run(["ffmpeg", "-loglevel", "error", "-y", "-f", "lavfi",
                        "-i", f"testsrc=size={width}x{height}:rate=30", "-frames:v", str(frames),
                        "-c:v", "libx264", "-preset", "ultrafast", "-tune", "zerolatency",
                        "-pix_fmt", "yuv420p", "-f", "h264", out.name], check=True)
        data = open(out.name, "rb").read()
    starts = []
    i = 0
    while True:
        i = data.find(b"\x00\x00\x01", i)
        if i < 0:
            break
        begin = i - 1 if i > 0 and data[i - 1] == 0 else i
        starts.append((begin, i + 3))
        i += 3
    nals = [data[b:(starts[k + 1][0] if k + 1 < len(starts) else len(data))] for k, (b, _) in enumerate(starts)]
    config, units, current = b"", [], b""
    for nal in nals:
        kind = nal[nal.find(b"\x00\x00\x01") + 3] & 0x1F
        if kind in (7, 8):
            config += nal
        elif kind in (1, 5):
            units.append(current + nal)
            current = b""
        else:
            current += nal
    return config, units


def packet(pts, payload):
    return struct.pack(">QI", pts, len(payload)) + payload


def stream_seeds():
    config, units = h264_units(64, 48, 4)
    frames = b"".join(packet(33333 * (k + 1), u) for k, u in enumerate(units))
    write("stream", "config-and-frames", packet(NO_PTS, config) + frames)
    write("stream", "empty-packet-between", packet(NO_PTS, config) + packet(0, b"") + frames)
    write("stream", "truncated-frame", (packet(NO_PTS, config) + frames)[:-40])
    write("stream", "config-twice", packet(NO_PTS, config) + packet(NO_PTS, config) + frames)
    write("stream", "oversized-length", struct.pack(">QI", 0, 0x7FFFFFF0) + b"\x00" * 64)


def info(name, width, height):
    field = name.encode()[:64].ljust(64, b"\x00")
    return field + struct.pack(">HH", width, height)


def handshake_seeds():
    write("handshake", "named-device", info("Merivo K310", 720, 1280))
    write("handshake", "name-fills-field", b"N" * 64 + struct.pack(">HH", 1080, 2400))
    write("handshake", "utf8-name", info("Телефон 测试", 1080, 2340))
    write("handshake", "short-record", info("Merivo K310", 720, 1280)[:30])
    write("handshake", "record-then-stream", info("Merivo K310", 720, 1280) + packet(NO_PTS, b"\x00\x00\x00\x01\x67"))


def clipboard(text):
    data = text.encode()
    return b"\x00" + struct.pack(">I", len(data)) + data


def devicemsg_seeds():
    cut = struct.pack("<Q", 0x0123456789ABCDEF)
    write("devicemsg", "one-text", cut + clipboard("hello"))
    write("devicemsg", "two-texts", cut + clipboard("first") + clipboard("zweite ✓"))
    write("devicemsg", "empty-text", struct.pack("<Q", 7) + clipboard(""))
    write("devicemsg", "unknown-type-first", cut + b"\x01\x00" + clipboard("after"))
    write("devicemsg", "announced-not-sent", cut + b"\x00\xff\xff\xff\xf0abc")


def adboutput_seeds():
    write("adboutput", "devices", b"List of devices attached\nSIM0001\tdevice\n\n")
    write("adboutput", "devices-states", b"List of devices attached\r\nA1\tunauthorized\r\n"
                                         b"192.168.1.23:5555\tdevice\r\nB2\toffline\r\n")
    write("adboutput", "devices-long", b"List of devices attached\n"
                                       b"SIM0001 device usb:1-1 product:sim model:SimPhone device:sim transport_id:1\n")
    write("adboutput", "ifconfig", b"wlan0     Link encap:UNSPEC    Driver icnss\n"
                                   b"          inet addr:192.168.1.23  Bcast:192.168.1.255  Mask:255.255.255.0 \n"
                                   b"          UP BROADCAST RUNNING MULTICAST  MTU:1500  Metric:1\n")
    write("adboutput", "ip-oneline", b"30: wlan0    inet 192.168.1.23/24 brd 192.168.1.255 scope global wlan0\\"
                                     b"       valid_lft forever preferred_lft forever\n")
    write("adboutput", "wm-size", b"Physical size: 1080x2400\nOverride size: 720x1600\n")


def adbrunner_seeds():
    cut = struct.pack("<Q", 5)
    write("adbrunner", "devices", cut + b"List of devices attached\nSIM0001\tdevice\n\n")
    write("adbrunner", "utf8-across-reads", struct.pack("<Q", 99) + "Gerät: 设备 ✓\r\n".encode() * 40)
    write("adbrunner", "logcat", struct.pack("<Q", 1) + b"12-09 10:00:00.000  1000  1000 I Tag: line\n" * 200)


def sized(data):
    return struct.pack("<H", len(data)) + data


def config_seeds():
    shipped = open(os.path.join(HERE, "..", "config", "config.ini"), "rb").read() \
        if os.path.exists(os.path.join(HERE, "..", "config", "config.ini")) else b"[common]\nMaxFps=30\n"
    user = b"[SIM0001]\nWindowRectX=100\nWindowRectY=50\nWindowRectW=400\nWindowRectH=800\n"
    rect = struct.pack("<IIII", 10100, 10050, 400, 800)
    write("config", "shipped", sized(shipped) + sized(user) + struct.pack("<i", 60) + sized(b"SIM0001") + rect)
    write("config", "text-in-numbers", sized(b"[common]\nMaxFps=abc\nMinWndWidth=\n") + sized(b"")
          + struct.pack("<i", -1) + sized(b"192.168.1.23:5555") + rect)
    write("config", "escapes", sized(b"[common]\nWindowTitle=\"a\\\\b;c\"\nLogLevel=@Variant(\\0\\0\\0\\x7f)\n")
          + sized(b"[%U4F60]\nWindowRectX=@ByteArray(x)\n") + struct.pack("<i", 2**31 - 1) + sized("设备/1".encode()) + rect)


def controlmsg_seeds():
    cut = struct.pack("<Q", 42)
    touch = bytes([2, 0]) + struct.pack("<QI", 0xFFFFFFFFFFFFFFFF, 1) + struct.pack("<IIHH", 0x40000000 + 100, 0x40000000 + 200, 720, 1280) + struct.pack("<f", 1.0)
    key = bytes([0, 0]) + struct.pack("<III", 3, 0, 0)
    text = bytes([1, 1]) + struct.pack("<I", ord("h")) + bytes([5])
    scroll = bytes([3]) + struct.pack("<IIHH", 0x40000000, 0x40000000, 720, 1280) + struct.pack("<ii", 0, -1)
    clip = bytes([9, 2]) + struct.pack("<I", 0x4F60) + bytes([3]) + struct.pack("<I", 0x1F600) + bytes([1, 1])
    long_clip = bytes([9, 1]) + struct.pack("<I", ord("x")) + bytes([0xFF, 1])
    simple = bytes([4, 1, 5, 6, 7, 8, 1, 10, 2, 11])
    write("controlmsg", "touch", cut + touch)
    write("controlmsg", "keycode", cut + key)
    write("controlmsg", "text", cut + text)
    write("controlmsg", "scroll", cut + scroll)
    write("controlmsg", "clipboard", cut + clip)
    write("controlmsg", "clipboard-over-limit", cut + long_clip)
    write("controlmsg", "mixed", cut + key + touch + simple + scroll)


def keymap_seeds():
    """The shipped keymaps, each followed by a walk through its keys: switch, press, move, release."""
    folder = os.path.join(HERE, "..", "keymap")
    sizes = struct.pack("<HHHH", 1080, 2400, 540, 1200)
    key = lambda pick, press: bytes([0, pick, press, 0, 0])
    events = key(0, 1) + key(0, 0)                                          # the switch key
    events += key(1, 1) + bytes([7, 30]) + key(1, 0)                        # W held for 30 ms
    events += bytes([3, 0, 0, 0]) + struct.pack("<HH", 300, 600)            # left button down
    events += bytes([5, 2, 1]) + struct.pack("<HH", 320, 650)               # a move, left held
    events += bytes([4, 1, 0, 0]) + struct.pack("<HH", 320, 650)            # left button up
    events += key(5, 1) + key(5, 0) + bytes([7, 39]) + key(0, 1) + key(0, 0)
    for name in sorted(os.listdir(folder)) if os.path.isdir(folder) else []:
        if name.endswith(".json"):
            text = open(os.path.join(folder, name), "rb").read()
            write("keymap", name[:-5], sized(text) + sizes + events)
    write("keymap", "not-json", sized(b'{"switchKey": "Key_QuoteLeft",') + sizes + events)


if __name__ == "__main__":
    for make in (stream_seeds, handshake_seeds, devicemsg_seeds, adboutput_seeds, adbrunner_seeds, config_seeds,
                 controlmsg_seeds, keymap_seeds):
        make()
    sys.exit(0)
