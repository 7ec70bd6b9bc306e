#!/usr/bin/env python3
"""The Windows programs of the win64 build, run under Wine against norva-sim.

norva-sim stays a Linux program on Linux pseudo-terminals; scripts/wine-run.sh
maps them to COM5 and COM6 through two links of this driver's own (LINKS/a,
LINKS/b), which point at the simulator's links of each run, so the Wine
prefix keeps one mapping for every test. Each test starts a fresh simulator.

Usage: wine_tests.py --build BUILD_WIN64 --sim NORVA_SIM GROUP
"""

import argparse
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import unittest

ROOT = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", ".."))
WINE_RUN = os.path.join(ROOT, "scripts", "wine-run.sh")
UNIT1_COM, UNIT2_COM = 5, 6
ADDR1, ADDR2 = "00A0961B2C01", "00A0961B2C02"
LIMIT_S = 120  # no single run should come near it

ARGS = None


class Sim:
    """norva-sim with a control socket and links our COM ports point at."""

    def __init__(self, *options, one_port=False):
        self.dir = tempfile.mkdtemp(prefix="norva-wine-sim-")
        self.control = os.path.join(self.dir, "control")
        self.proc = subprocess.Popen(
            [ARGS.sim, "--link-dir", self.dir, "--control", self.control, *options],
            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
            text=True)
        ready = "NORVAWIZARD_COM1=" if one_port else "NORVAWIZARD_COM2="
        for line in self.proc.stdout:
            if line.startswith(ready):
                break
        else:
            raise RuntimeError("norva-sim did not start")
        threading.Thread(target=self.proc.stdout.read, daemon=True).start()
        links = {"a": "com1"} if one_port else {"a": "unit1", "b": "unit2"}
        for ours, theirs in links.items():
            path = os.path.join(ARGS.links, ours)
            if os.path.lexists(path):
                os.unlink(path)
            os.symlink(os.path.join(self.dir, theirs), path)

    def request(self, *words):
        return subprocess.run([ARGS.sim, *words, "--control", self.control],
                              stdin=subprocess.DEVNULL, capture_output=True, text=True,
                              timeout=30)

    def close(self):
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        shutil.rmtree(self.dir, ignore_errors=True)


class Run:
    """A Windows program under wine-run.sh; `on_line(stream, line, run)` sees
    each output line as it comes."""

    def __init__(self, program, *args, on_line=None, stdin_text=None, env=None):
        command = [WINE_RUN,
                   "--com", "%d=%s" % (UNIT1_COM, os.path.join(ARGS.links, "a")),
                   "--com", "%d=%s" % (UNIT2_COM, os.path.join(ARGS.links, "b")),
                   program, *args]
        full_env = dict(os.environ)
        full_env.update(env or {})
        self.proc = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=subprocess.PIPE, text=True, env=full_env,
                                     encoding="utf-8", errors="replace")
        self.lines = {"stdout": [], "stderr": []}
        self.on_line = on_line
        self.readers = [threading.Thread(target=self._read, args=(name,), daemon=True)
                        for name in ("stdout", "stderr")]
        for r in self.readers:
            r.start()
        if stdin_text is None:
            self.proc.stdin.close()

    def _read(self, name):
        for line in getattr(self.proc, name):
            line = line.rstrip("\r\n")
            self.lines[name].append(line)
            if self.on_line:
                self.on_line(name, line, self)

    def send(self, text):
        self.proc.stdin.write(text)
        self.proc.stdin.flush()

    def wait(self):
        try:
            self.proc.wait(timeout=LIMIT_S)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
            raise AssertionError("no end within %d s:\n%s" % (LIMIT_S, self.text()))
        for r in self.readers:
            r.join(timeout=10)
        return self.proc.returncode

    @property
    def out(self):
        return "\n".join(self.lines["stdout"])

    def text(self):
        return "stdout:\n%s\nstderr:\n%s" % (self.out, "\n".join(self.lines["stderr"]))


def norvactl(*args, **kw):
    run = Run(os.path.join(ARGS.build, "tools", "norvactl.exe"), *args, **kw)
    run.wait()
    return run


def report(run):
    try:
        return json.loads(run.lines["stdout"][-1])
    except (IndexError, ValueError):
        raise AssertionError("no JSON object:\n" + run.text())


def serial_tests(suite, sim, sim_for_unplug=None):
    def on_line(stream, line, run):
        if stream == "stdout" and line.startswith("@@unplug "):
            (sim_for_unplug or sim).request("unplug", line.split()[1])
    run = Run(os.path.join(ARGS.build, "tests", "platform", "win32", "win_serial_tests.exe"),
              "--gtest_filter=%s.*" % suite, on_line=on_line,
              env={"NORVA_TEST_UNIT1_COM": str(UNIT1_COM),
                   "NORVA_TEST_UNIT2_COM": str(UNIT2_COM)})
    return run


class WithSim(unittest.TestCase):
    sim_options = ()
    one_port = False

    def setUp(self):
        self.sim = Sim(*self.sim_options, one_port=self.one_port)

    def tearDown(self):
        self.sim.close()

    def run_suite(self, suite):
        run = serial_tests(suite, self.sim)
        self.assertEqual(run.wait(), 0, run.text())
        for line in run.lines["stdout"]:
            if "round trip" in line:
                print("  " + line)


class SerialPort(WithSim):
    def test_open_close_line_settings_stop_and_listing(self):
        self.run_suite("WinePort")


class SerialChunked(WithSim):
    sim_options = ("--chunk", "3:20", "--noise")

    def test_replies_in_pieces(self):
        self.run_suite("WineChunked")


class SerialBurst(WithSim):
    sim_options = ("--neighbours", "12", "--inquiry-ms", "1")

    def test_a_burst_of_result_lines(self):
        self.run_suite("WineBurst")


class SerialGone(WithSim):
    sim_options = ("--unit2-reply-delay", "3000")

    def test_unplug_during_a_read_and_during_a_wait_for_a_reply(self):
        self.run_suite("WineGone")


class NorvactlCommands(WithSim):
    def ok(self, *args):
        run = norvactl(*args, "--json")
        self.assertEqual(run.proc.returncode, 0, run.text())
        r = report(run)
        self.assertTrue(r["ok"], run.text())
        return r

    def test_every_command(self):
        u1, u2 = "COM%d" % UNIT1_COM, "COM%d" % UNIT2_COM
        ports = [p["port"] for p in self.ok("ports")["ports"]]
        self.assertEqual(ports, [u1, u2])
        listing = norvactl("ports")
        self.assertEqual(listing.out, "%s (%s)\n%s (%s)" % (u1, u1, u2, u2), listing.text())

        status = self.ok("--port", u1, "status")["status"]
        self.assertEqual(status["address"], ADDR1)
        self.assertEqual(status["name"], "Norva-BX01")
        self.ok("--port", u1, "probe")
        self.ok("--port", u1, "write-sreg", "24", "12")
        self.assertEqual(self.ok("--port", u1, "read-sreg", "24")["value"], "12")
        self.ok("--port", u1, "set-mode", "0")
        self.ok("--port", u1, "set-uart", "9600", "none", "1")
        self.ok("--port", u1, "scan")
        self.ok("--port", u1, "cancel")
        self.ok("--port", u1, "scan")
        devices = self.ok("--port", u2, "inquiry")["devices"]
        self.assertIn(ADDR1, [d["address"] for d in devices])
        self.ok("--port", u2, "connect", ADDR1)
        self.ok("--port", u2, "escape")
        self.ok("--port", u2, "disconnect")
        self.ok("--port", u1, "cancel")
        applied = self.ok("--port", u1, "apply", "--mode", "2", "--baud", "9600",
                          "--parity", "none", "--stop", "1")
        self.assertEqual(applied["status"]["mode"], 2)
        self.ok("--port", u1, "reset")
        setting = self.ok("--port", u1, "detect")["setting"]
        self.assertEqual(setting["baud"], 9600)

        bad = norvactl("--port", u1, "--baud", "12345", "status")
        self.assertEqual(bad.proc.returncode, 2, bad.text())
        absent = norvactl("--port", "COM9", "status", "--json")
        self.assertEqual(absent.proc.returncode, 3, absent.text())
        self.assertEqual(report(absent)["error"], "Serial port open failed. COM9: device not present")


class NorvactlDetect(WithSim):
    sim_options = ("--uart", "38400,N,2")

    def test_finds_the_stored_setting(self):
        run = norvactl("--port", "COM%d" % UNIT1_COM, "detect")
        self.assertEqual(run.proc.returncode, 0, run.text())
        self.assertEqual(run.out, "--baud 38400 --parity none --stop 2\n--line 38400,none,2")


class NorvactlPair(WithSim):
    def test_pair_on_two_ports_with_verify(self):
        run = norvactl("pair", "--unit1", "COM%d" % UNIT1_COM, "--unit2", "COM%d" % UNIT2_COM,
                       "--verify", "--json")
        self.assertEqual(run.proc.returncode, 0, run.text())
        self.assertTrue(report(run)["ok"], run.text())
        verdict = self.sim.request("verdict")
        self.assertEqual(verdict.returncode, 0, verdict.stdout + verdict.stderr)


class NorvactlOneCable(WithSim):
    sim_options = ("--one-port",)
    one_port = True

    def test_pair_on_one_port_reads_enter(self):
        def on_line(stream, line, run):
            if "press Enter" in line:
                self.sim.request("attach", "2" if "to unit 2" in line else "1")
                run.send("\n")
        run = norvactl("pair", "--port", "COM%d" % UNIT1_COM, stdin_text="", on_line=on_line)
        self.assertEqual(run.proc.returncode, 0, run.text())
        verdict = self.sim.request("verdict")
        self.assertEqual(verdict.returncode, 0, verdict.stdout + verdict.stderr)


class NorvactlEndings(WithSim):
    sim_options = ("--inquiry-ms", "20000")

    def test_unplug_during_inquiry_exits_3_with_the_reason(self):
        def on_line(stream, line, run):
            if stream == "stderr" and "AT+BTINQ?" in line:
                self.sim.request("unplug", "1")
        run = norvactl("--port", "COM%d" % UNIT1_COM, "-v", "inquiry", on_line=on_line)
        self.assertEqual(run.proc.returncode, 3, run.text())
        last = run.lines["stderr"][-1]
        self.assertTrue(last.startswith("norvactl: COM%d was disconnected (" % UNIT1_COM), last)

    def test_ctrl_c_during_inquiry_exits_130(self):
        def on_line(stream, line, run):
            if stream == "stderr" and "AT+BTINQ?" in line:
                run.proc.send_signal(signal.SIGINT)
        run = norvactl("--port", "COM%d" % UNIT2_COM, "-v", "inquiry", on_line=on_line)
        self.assertEqual(run.proc.returncode, 130, run.text())
        self.assertEqual(run.lines["stderr"][-1], "norvactl: interrupted", run.text())


GROUPS = {
    "serial": [SerialPort, SerialChunked, SerialBurst, SerialGone],
    "norvactl": [NorvactlCommands, NorvactlDetect, NorvactlEndings],
    "pair": [NorvactlPair, NorvactlOneCable],
}


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--sim", required=True)
    parser.add_argument("group", choices=sorted(GROUPS))
    ARGS = parser.parse_args()
    ARGS.build = os.path.abspath(ARGS.build)
    ARGS.sim = os.path.abspath(ARGS.sim)
    if not os.access(ARGS.sim, os.X_OK):
        sys.exit("norva-sim not found at %s: build the plain configuration first" % ARGS.sim)
    ARGS.links = os.path.join(ARGS.build, "wine-links")
    os.makedirs(ARGS.links, exist_ok=True)
    suite = unittest.TestSuite()
    for case in GROUPS[ARGS.group]:
        suite.addTests(unittest.defaultTestLoader.loadTestsFromTestCase(case))
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    sys.exit(0 if result.wasSuccessful() else 1)


if __name__ == "__main__":
    main()
