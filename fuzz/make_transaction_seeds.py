#!/usr/bin/env python3
"""Writes the hand-made seeds of fuzz_transaction (layout: transaction/Script.h)."""
import os

OPS = ["Probe", "CancelCommand", "QueryStatus", "Connect", "Disconnect", "Escape", "Scan",
       "Inquiry", "ReadSRegister", "WriteSRegister", "SetOpMode", "SetUartConfig",
       "SetUartConfigNoFlow", "Reset", "ReturnOnline"]
T = {0: 0, 20: 1, 50: 2, 200: 3, 2000: 4, 5000: 5, 30000: 6, -1: 7}
OK, ERROR = b"\r\nOK\r\n", b"\r\nERROR\r\n"
LINE7 = b"\r\n00A0C4123456,Norva-BX01,MODE2,STANDBY,1,0,NoFC\r\n"
LINE6 = b"\r\n00A0C4ABCDEF,Norva-BX02,MODE1,IDLE,0,1\r\n"
SEG, HANGUP, ABORT = b"\xff\x40", b"\xff\x80", b"\xff\xc0"


def gap(code):
    return bytes([0xFF, code & 0x3F])


def header(*transactions):
    out = bytes([len(transactions) - 1])
    for op, timeout, b, c in transactions:
        out += bytes([OPS.index(op), T[timeout], b, c])
    return out


SEEDS = {
    "probe_ok": header(("Probe", 2000, 0, 0)) + OK,
    "status_seven_fields": header(("QueryStatus", 0, 0, 0)) + OK + SEG + LINE7 + gap(4) + OK,
    "status_six_fields": header(("QueryStatus", 0, 0, 0)) + OK + SEG + LINE6,
    "status_error_twice": header(("QueryStatus", 0, 0, 0)) + ERROR + SEG + ERROR,
    # Silent probe and escape, S10 reads 0: the message box, S10=1, the status.
    "status_escape_path": header(("QueryStatus", 0, 0, 0)) + SEG + SEG
    + b"\r\n0\r\n" + OK + SEG + OK + SEG + LINE6,
    "status_long_line": header(("QueryStatus", 0, 0, 0)) + OK + SEG
    + b"\r\n" + b"N" * 600 + b"\r\n" + LINE7 + OK,
    "inquiry_rows": header(("Inquiry", -1, 10, 0)) + OK + SEG
    + b"\r\n001122334455,Left,1F00\r\n" + gap(2) + b"\r\n66778899AABB,Right,5A020C\r\n"
    + gap(40) + b"\r\n0011223344CC,,0\r\n" + OK,
    "connect_then_connect": header(("Connect", 30000, 0, 0)) + OK + gap(10)
    + b"\r\nCONNECT 001122334455\r\n",
    "connect_hangup_mid_line": header(("Connect", 30000, 0, 2), ("Probe", 200, 0, 0))
    + OK + b"\r\nCONN" + HANGUP + b"ECT\r\n",
    "disconnect": header(("Disconnect", 5000, 0, 0)) + OK + gap(3) + b"\r\nDISCONNECT\r\n",
    "read_sreg": header(("ReadSRegister", 2000, 24, 0), ("WriteSRegister", 2000, 10, 1))
    + b"\r\n 10 \r\n" + OK + SEG + ERROR,
    "probe_overflow": header(("Probe", 2000, 0, 0)) + b"x" * 40 + OK,
    "uart_abort": header(("SetUartConfig", 30000, 7, 5), ("SetUartConfigNoFlow", 20, 3, 2))
    + gap(20) + ABORT + SEG + OK,
    "escape_scan_online": header(("Escape", 2000, 0, 0), ("Scan", 0, 3, 30),
                                 ("ReturnOnline", 0, 0, 0)) + OK + SEG + gap(1) + OK,
    "reset_opmode_cancel": header(("Reset", 5000, 0, 0), ("SetOpMode", 50, 2, 0),
                                  ("CancelCommand", 200, 0, 0)) + OK + SEG + ERROR + SEG
    + b"\r\nOK" + gap(2) + b"\r\n",
}

here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus", "transaction")
os.makedirs(here, exist_ok=True)
for name, data in SEEDS.items():
    with open(os.path.join(here, name), "wb") as f:
        f.write(data)
