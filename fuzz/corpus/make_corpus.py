#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz targets into fuzz/corpus/<target>/seed-*.

Every seed is a valid input of its reader, in the input layout the target's source describes.
The output is deterministic; run it again after changing a layout and commit what changes.
Regression inputs (regress-*) are written by hand or kept from crashes and are never touched here.
"""
import datetime
import os
import plistlib
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))


def write(target, name, data):
    folder = os.path.join(HERE, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "seed-" + name), "wb") as f:
        f.write(data)


def clear_seeds():
    for target in os.listdir(HERE):
        folder = os.path.join(HERE, target)
        if not os.path.isdir(folder):
            continue
        for name in os.listdir(folder):
            if name.startswith("seed-"):
                os.remove(os.path.join(folder, name))


# ---- The scripted scanner's replies (fuzz/support/FuzzSupport.h) ----------------------------------

def whole(data):
    return b"\x00" + data


def status(last_err=0, fw_info=0, length=32):
    block = struct.pack("<IH", last_err, fw_info) + bytes(26)
    return whole(block[:length]) if length == 32 else b"\xf0" + bytes([length]) + block[:length]


def short(data):
    return b"\xf0" + bytes([len(data)]) + data


def field(text, n):
    raw = text.encode("utf-8")[: n - 1]
    return raw + bytes(n - len(raw))


# ---- Property lists ----------------------------------------------------------------------------

PLISTS = {
    "remote-setting": {"Location": "~/Pictures", "IsOpen": "1", "IsThirdAppScan": False,
                        "ThirdAppPath": "/usr/share/applications/simple-scan.desktop"},
    "device-setting": {"VID": "1209", "PID": "0001", "IPAddress": "127.0.0.5",
                        "UUID": "6B29FC40-CA47-1067-B31D-00DD010662DA",
                        "PCUUID": "0F3C2B6E-5A1D-4C7B-9E21-6D8A0B4C3F12"},
    "mode-info": {"DeviceInfo": [{"UUID": "6B29FC40-CA47-1067-B31D-00DD010662DA",
                                   "TWAINName": "TW-Zerelta QMX-7315W LAN"}]},
    "debug-log": {"isShowDebugLog": True},
    "all-types": {"text": "Scans \u00e9\u65e5", "int": 300, "negative": -5, "big": 2 ** 63 - 1,
                  "real": 2.5, "flag": False, "data": b"\x00\x01\xfe\xff",
                  "date": datetime.datetime(2020, 5, 4, 3, 2, 1),
                  "list": [1, "two", [3.0], {"four": 4}], "nested": {"empty": {}, "none": []}},
    # Values the rewrite must carry unchanged although the Qt side cannot hold them.
    "old-date": {"Location": "~/Pictures", "Since": datetime.datetime(1900, 1, 1, 0, 0, 0)},
    "late-date": {"Location": "~/Pictures", "Until": datetime.datetime(2100, 1, 1, 0, 0, 0)},
    "uid": {"Location": "~/Pictures", "Ref": plistlib.UID(7)},
}


def plist_seeds():
    for name, value in sorted(PLISTS.items()):
        for fmt, suffix in ((plistlib.FMT_XML, "xml"), (plistlib.FMT_BINARY, "bin")):
            if name == "uid" and fmt == plistlib.FMT_XML:
                continue  # UIDs exist in binary files only
            data = plistlib.dumps(value, fmt=fmt, sort_keys=True)
            for edit in range(4):
                write("plist", f"{name}-{suffix}-edit{edit}", bytes([edit]) + data)
    write("plist", "array-root-xml", b"\x00" + plistlib.dumps([1, 2], fmt=plistlib.FMT_XML))
    for resource in ("resources/RemoteSetup.plist", "resources/monitor/Setting_RemoteSetup.plist"):
        with open(os.path.join(ROOT, resource), "rb") as f:
            write("plist", os.path.basename(resource).replace(".plist", "") + "-resource", b"\x01" + f.read())


# ---- Settings export files -----------------------------------------------------------------------

SIG_BNT_ALL = b"E99B6D88-E38C-4368-B542-A49A6063E71D"
SIG_BNT_ADDR = b"71F16288-7413-475E-964C-5D7070B59EAD"
SIG_B = b"0F9B476E-C652-4EC8-AFDC-397A417B4A9A"


def signature(text):
    return text + bytes(40 - len(text))


def settings_seeds():
    tail = field("~/Pictures/Scans", 260) + b"\x01" + bytes(3)
    # reader | onlyAddress(4) | USB-only model(8) | isUSB(16) | refusing(32) | completed(64)
    for name, mode, body in (
        ("all-bnt-lan", 0 | 64, tail + signature(SIG_BNT_ALL) + struct.pack("<I", 57)),
        ("all-bnt-usb", 0 | 16 | 64, tail + signature(SIG_BNT_ALL)),
        ("all-b", 0 | 8 | 64, tail + signature(SIG_B)),
        ("all-bnt-refused", 0 | 32 | 64, tail + signature(SIG_BNT_ALL)),
        ("all-only-address", 0 | 4 | 64, tail + signature(SIG_BNT_ADDR)),
        ("book-bnt", 1 | 64, tail + signature(SIG_BNT_ALL) + bytes(45484) + field("Alice", 64)),
        ("book-b-refused", 1 | 8 | 32 | 64, tail + signature(SIG_B)),
        ("profiles-bnt", 2 | 64, tail + signature(SIG_BNT_ALL) + bytes(2584) + field("Profile 1", 32)),
        ("addr-file", 3 | 64, signature(SIG_BNT_ADDR) + field("Alice", 64) + field("alice@example.com", 128)),
        ("short-file", 0, signature(SIG_BNT_ALL)),
        ("wrong-signature", 0 | 64, tail + signature(SIG_B)),
    ):
        write("settings_file", name, bytes([mode]) + body)


# ---- Command-layer replies -----------------------------------------------------------------------

def command_seeds():
    ok = status()
    seeds = {
        "param-all": (0, ok + whole(struct.pack("<I", 57) + bytes(2580))),
        "wired-lan": (1, ok + whole(bytes([1]) + bytes(351))),
        "language": (3, ok + whole(b"\x02")),
        "capabilities": (5, ok + whole(bytes(72))),
        "factory": (6, ok + whole(bytes(64))),
        "address-book": (7, ok + whole((field("Alice", 64) + field("alice@example.com", 128)).ljust(114036, b"\0"))),
        "device-status": (8, status(0, 4)),
        "device-status-short": (8, status(0, 0, 20)),
        "device-status-refused": (8, status(0x1234)),
        "lamp": (9, ok + whole(struct.pack("<IIII", 0, 15, 0, 0)) + ok + whole(struct.pack("<IIII", 0, 0, 0, 240))),
        "client-keys": (10, ok + whole(struct.pack("<I", 2)) + ok + whole(field("key-one", 72) + field("key-\u00e9", 72))),
        "server-keys-none": (11, ok + whole(struct.pack("<I", 0))),
        "server-keys-huge": (11, ok + whole(struct.pack("<I", 0xFFFFFFFF))),
        "machine-info": (12, (ok + whole(struct.pack("<I", 1234))) * 3 + ok + whole(struct.pack("<H", 500)) + ok + whole(struct.pack("<I", 100000))),
        "vendor": (13, ok + whole(field("ZERELTA QMX-7315W", 24))),
        "serial": (14, ok + whole(b"ZRQ7315WA00123")),
        "lock": (15, ok + ok + whole(field("6B29FC40-CA47-1067-B31D-00DD010662DA", 40))),
        "lock-holder": (16, ok + whole(field("6B29FC40-CA47-1067-B31D-00DD010662DA", 40))),
        "lock-holder-free": (16, ok + whole(bytes(40))),
        "shortcut": (17, ok + whole(bytes(64) * 4)),
        "nvram": (18, struct.pack("<HB", 104, 24) + ok + whole(field("ZERELTA", 24))),
        "reset": (19, ok + ok),
        "version": (20, ok + whole(struct.pack("<I", (1 << 16) | 57) + bytes(2580))),
        "lock-text": (21, field("6B29FC40-CA47-1067-B31D-00DD010662DA", 40)),
        "sequence-broken": (22, status(0, 0, 16) + b"\xf8" + ok + whole(b"\x01") + ok + whole(struct.pack("<I", 1)) + ok + whole(field("k", 72))),
        "stalled": (4, b"\xfc"),
    }
    for name, (op, replies) in sorted(seeds.items()):
        write("command_replies", name, bytes([op]) + replies)
    write("command_replies", "ctrl-lock-granted", bytes([23]) + bytes(5))
    write("command_replies", "ctrl-lock-refused", bytes([23]) + bytes([0, 0, 0, 0, 1]))


# ---- DNS-SD TXT records --------------------------------------------------------------------------

def txt(pairs):
    out = b""
    for item in pairs:
        raw = item if isinstance(item, bytes) else item.encode("utf-8")
        out += bytes([len(raw)]) + raw
    return out


def dnssd_seeds():
    scanner = ["ty=Zerelta QMX-7315W", "mfg=Zerelta", "mdl=QMX-7315W", "sn=ZRQ7315W-A0012345",
               "ADP=WIRED", "uuid=6B29FC40-CA47-1067-B31D-00DD010662DA", "adminurl=http://127.0.0.5/",
               "txtvers=1", "button=T", "feeder=T", "flatbed=F"]
    write("dnssd_txt", "scanner", txt(scanner))
    write("dnssd_txt", "scanner-wireless", txt([s if not s.startswith("ADP") else "ADP=WIRELESS" for s in scanner]))
    write("dnssd_txt", "unknown-device", txt(["uuid=6B29FC40-CA47-1067-B31D-00DD010662DA", "ty=Other Scanner"]))
    write("dnssd_txt", "odd-keys", txt(["flag", "empty=", "=novalue", "dup=1", "dup=2", b"bin=\xff\xfe"]))
    write("dnssd_txt", "not-listed", txt(["ty=Zerelta QMX-7315W", "sn=", "uuid=00000000-0000-0000-0000-000000000000"]))


# ---- Text --------------------------------------------------------------------------------------

def text_seeds():
    texts = ["12", "-3.5e2", " 42 ", "+7", "1.", ".5", "1e", "99999999999", "12a", "abc", "",
             "a.b@example.com", "host-1", "Node\x13Name", "192.168.0.1", "scan_file-01", "3", "0", "999999",
             "\ufeffBOM", "\u65e5\u672c\u8a9e\u00e9", "&<a>.b", "\U0001F600 smile"]
    for i, t in enumerate(texts):
        write("text", f"utf8-{i:02d}", b"\x00" + t.encode("utf-8"))
    write("text", "utf16-lone-surrogate", b"\x01" + "12".encode("utf-16-le") + b"\x00\xd8" + "3".encode("utf-16-le"))
    write("text", "utf16-pair", b"\x01" + "\U0001F600x".encode("utf-16-le"))


# ---- Monitor -----------------------------------------------------------------------------------

def monitor_seeds():
    device = PLISTS["device-setting"]
    write("monitor", "device-file-xml", b"\x00" + plistlib.dumps(device, fmt=plistlib.FMT_XML))
    write("monitor", "device-file-bin", b"\x00" + plistlib.dumps(device, fmt=plistlib.FMT_BINARY))
    usb = {k: v for k, v in device.items() if k != "PCUUID"}
    usb["IPAddress"] = "USB"
    write("monitor", "device-file-no-pcuuid", b"\x00" + plistlib.dumps(usb, fmt=plistlib.FMT_XML))
    with open(os.path.join(ROOT, "resources/monitor/DeviceSetting.plist.in"), "rb") as f:
        write("monitor", "device-file-resource", b"\x00" + f.read())
    ok = status()
    entry = field("USB", 256) + field("00000000-0000-0000-0000-000000000000", 40) + bytes(16) + struct.pack("<I", 0)
    other = field("other-host", 256) + field("0F3C2B6E-5A1D-4C7B-9E21-6D8A0B4C3F12", 40) + bytes(16) + struct.pack("<I", 1)
    event = struct.pack("<I", 2) + field("SC01", 9) + b"00000000-0000-0000-0000-000000000000" + bytes(15)
    seeds = {
        "counts": (1, ok + whole(struct.pack("<i", 10)) + ok + whole(struct.pack("<i", 3))),
        "counts-negative": (1, ok + whole(struct.pack("<i", -1)) + ok + whole(struct.pack("<i", 3))),
        "pc-list": (2, struct.pack("<i", 2) + ok + whole(struct.pack("<i", 10)) + ok + whole(entry + other)),
        "pc-list-pieces": (2, struct.pack("<i", 2) + ok + whole(struct.pack("<i", 2)) + ok + short(entry[:200]) + b"\xf8" + whole(entry[200:] + other)),
        "event-mine": (3, ok + whole(event)),
        "event-none": (3, ok + whole(bytes(64))),
        "clear": (4, ok),
        "clear-refused": (4, status(5)),
        "add": (5, ok + ok),
        "remove": (6, ok),
        "clock": (7, ok),
    }
    for name, (op, replies) in sorted(seeds.items()):
        write("monitor", name, bytes([op]) + replies)
    with open(os.path.join(ROOT, "resources/monitor/scanModel.desktop"), "rb") as f:
        write("monitor", "desktop-resource", b"\x08" + f.read())
    write("monitor", "desktop-sh", b"\x08[Desktop Entry]\nType=Application\nExec=sh -c 'exit 0' %f %%\n")
    write("monitor", "desktop-other-group", b"\x08[Other]\nExec=sh\n[Desktop Entry]\nName=x\n")


def main():
    clear_seeds()
    plist_seeds()
    settings_seeds()
    command_seeds()
    dnssd_seeds()
    text_seeds()
    monitor_seeds()
    return 0


if __name__ == "__main__":
    sys.exit(main())
