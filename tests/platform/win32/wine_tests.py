#!/usr/bin/env python3
"""The Windows programs of the win64 build, run under Wine against norva-sim.

norva-sim stays a Linux program on Linux pseudo-terminals; scripts/wine-run.sh
maps them to COM5 and COM6 through two links of this driver's own (LINKS/a,
LINKS/b), which point at the simulator's links of each run, so the Wine
prefix keeps one mapping for every test. Each test starts a fresh simulator.
The wizard group works norvawizard.exe through wizard_driver.exe, which
presses its buttons and reads its windows by window messages.

Usage: wine_tests.py --build BUILD_WIN64 --sim NORVA_SIM GROUP
"""

import argparse
import json
import os
import queue
import re
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
        # env: variables to set; None as a value removes one.
        command = [WINE_RUN,
                   "--com", "%d=%s" % (UNIT1_COM, os.path.join(ARGS.links, "a")),
                   "--com", "%d=%s" % (UNIT2_COM, os.path.join(ARGS.links, "b")),
                   program, *args]
        full_env = dict(os.environ)
        for name, value in (env or {}).items():
            if value is None:
                full_env.pop(name, None)
            else:
                full_env[name] = value
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


# The wizard's windows are read, not seen: Wine draws nothing and waits for
# no window manager.
HEADLESS = [("HKCU\\Software\\Wine\\Drivers", "Graphics", "null"),
            ("HKCU\\Software\\Wine\\X11 Driver", "Managed", "N")]
STEP_MS = 30000  # one step's module work, the slowest included
ENGLISH = {"LANG": "C.UTF-8", "LC_ALL": None, "LC_MESSAGES": None}
KOREAN = dict(ENGLISH, LANG="ko_KR.UTF-8")
TEXT_104 = ("Communication with Norva-BX was failed. Please check Norva-BX's power or Wizard "
            "setting.")
TEXT_104_KO = "Norva-BX와의 통신이 실패했습니다. Norva-BX의 전원과 Wizard 셋팅을 확인해 주십시오."
DEMO_KO = " (데모: 모의 모듈, 케이블은 시뮬레이터가 옮김)"
POWER_CYCLE_TEXT = ("Norva-BX01 has restarted. Now switch Norva-BX02 off and on, and keep it near "
                    "Norva-BX01: it starts its link when it starts up. Waiting for the link...")
GATES = {1: 1034, 3: 1035, 6: 1033, 7: 1003}  # page index: the box that lets Next on


def hold_headless_desktop():
    """A driver that holds Wine's desktop until it is closed: a desktop that
    goes after each test and comes back for the next one fails to come back
    now and then on a busy machine ("The explorer process failed to start")."""
    for key, name, value in HEADLESS:
        run = Run("reg", "add", key, "/v", name, "/d", value, "/f")
        assert run.wait() == 0, run.text()
    # The desktop reads its graphics driver when the server starts.
    subprocess.run([WINE_RUN, "--stop"], check=True, timeout=60)
    for _ in range(3):
        keeper = Driver(dict(ENGLISH, DISPLAY=None))
        if keeper("desktop") == "ok":
            return keeper
        keeper.close()
    raise RuntimeError("Wine's desktop did not start:\n" + keeper.run.text())


def unescape(text):
    return re.sub(r"\\(.)", lambda m: {"n": "\n", "r": "\r", "t": "\t"}.get(m[1], m[1]), text)


class Driver:
    """wizard_driver.exe, the wizard's hands and eyes: one command, one answer."""

    def __init__(self, env):
        self.answers = queue.Queue()

        def on_line(stream, line, run):
            if stream == "stdout":
                self.answers.put(line)
        self.run = Run(os.path.join(ARGS.build, "tests", "platform", "win32",
                                    "wizard_driver.exe"),
                       on_line=on_line, stdin_text="", env=env)

    def __call__(self, command):
        self.run.send(command + "\n")
        try:
            return self.answers.get(timeout=LIMIT_S)
        except queue.Empty:
            raise AssertionError("no answer to %s:\n%s" % (command, self.run.text()))

    def ok(self, command):
        answer = self(command)
        if answer != "ok" and not answer.startswith(("ok ", "ok\t")):
            raise AssertionError("%s: %s\n%s" % (command, answer,
                                                 "\n".join(self.run.lines["stderr"][-20:])))
        return answer[3:]

    def texts(self, command="texts"):
        """(key, text) pairs: title or caption, control ids, note."""
        return [(k, unescape(v)) for k, _, v in
                (item.partition("=") for item in self.ok(command).split("\t"))]

    def close(self):
        self.run.proc.stdin.close()
        self.run.wait()


class WithWizard(unittest.TestCase):
    """norvawizard.exe on one port that the simulator moves between the units
    (as `norva-sim --follow -- norvawizard` runs it), both units on COM5."""
    sim_options = ("--follow",)
    env = ENGLISH

    def setUp(self):
        # Cleanups, not tearDown: they run when setUp fails too, the last first.
        self.sim = Sim(*self.sim_options, one_port=True)
        self.addCleanup(self.sim.close)
        self.d = Driver(dict(self.env, DISPLAY=None, NORVAWIZARD_SIMULATED="follow"))
        self.addCleanup(self.d.close)
        self.addCleanup(self.d, "kill")
        wizard = os.path.join(ARGS.build, "winwizard", "norvawizard.exe")
        self.d.ok("start Z:" + wizard.replace("/", "\\"))
        self.d.ok("wait-sheet 9 60000")  # the first start in a prefix sets up fonts

    def choose_port(self):
        self.d.ok("click 1015")
        self.d.ok("wait-dialog 141 10000")
        self.d.ok("combo d1022 COM%d" % UNIT1_COM)
        self.d.ok("click d1020")
        self.d.ok("wait-no-dialog 141 10000")

    def next_to(self, page):
        self.d.ok("wait-enabled next %d" % STEP_MS)
        self.d.ok("press next")
        self.d.ok("wait-page %d %d" % (page, STEP_MS))

    def connect(self):
        self.d.ok("wait-enabled 1006 %d" % STEP_MS)  # the search has ended
        rows = [row for row in self.d.ok("rows").split("\t") if row]
        found = [i for i, row in enumerate(rows)
                 if re.sub("[^0-9A-F]", "", row.split("|")[0].upper()) == ADDR1]
        self.assertEqual(len(found), 1, rows)
        self.d.ok("select-row %d" % found[0])
        self.d.ok("wait-text 1014 %s 5000" % rows[found[0]].split("|")[0])
        self.d.ok("click 1006")

    def box(self, text):
        """The program's message box: its text, then OK."""
        box = dict(self.d.texts("wait-dialog 143 %d" % STEP_MS))
        self.assertEqual((box["caption"], box["1048"]), ("NorvaWizard", text), box)
        self.d.ok("click d1")
        self.d.ok("wait-no-dialog 143 10000")

    def walk(self, upto=8, on_page=lambda page: None):
        """From the first page on to page `upto`, as a person would."""
        for page in range(upto):
            on_page(page)
            if page in (0, 2):
                self.choose_port()
            elif page in GATES:
                # Back comes with the page's own buttons: Next from before is gone.
                self.d.ok("wait-enabled back %d" % STEP_MS)
                self.d.ok("click %d" % GATES[page])
            elif page == 4:
                self.connect()
                self.d.ok("wait-page 5 %d" % STEP_MS)
                continue
            self.next_to(page + 1)
        on_page(upto)

    def silent_unit1_then_on(self, text):
        self.choose_port()
        self.d.ok("press next")
        self.box(text)
        self.d.ok("wait-enabled next 10000")
        self.assertEqual(self.d.ok("page"), "0")
        self.assertEqual(self.sim.request("power", "1", "on").returncode, 0)


class WizardPairsOnOnePort(WithWizard):
    def test_nine_steps_verify_and_finish(self):
        self.walk()
        verdict = self.sim.request("verdict")
        self.assertEqual(verdict.returncode, 0, verdict.stdout + verdict.stderr)
        # One cable: Verify restarts unit 1 and waits for unit 2 to come back.
        self.assertEqual(self.sim.request("power", "2", "off").returncode, 0)
        self.d.ok("click 1043")
        self.d.ok("wait-dialog 142 10000")
        self.d.ok("wait-text d1047 %s %d" % (POWER_CYCLE_TEXT, STEP_MS))
        self.assertEqual(self.sim.request("power", "2", "on").returncode, 0)
        self.box("Verified: the pair connects after a restart.")
        self.d.ok("wait-enabled finish 5000")
        self.d.ok("press finish")
        self.assertEqual(self.d.ok("wait-exit 20000"), "0")


class WizardConnectCancel(WithWizard):
    sim_options = ("--follow", "--connect-ms", "20000")

    def test_cancel_keeps_the_page_and_its_buttons(self):
        self.walk(upto=4)
        self.connect()
        self.d.ok("wait-dialog Connecting... 10000")
        self.d.ok("click d1012")
        self.d.ok("wait-no-dialog Connecting... 10000")
        self.d.ok("wait-enabled 1006 %d" % STEP_MS)
        self.d.ok("wait-enabled 1011 %d" % STEP_MS)
        self.assertEqual(self.d.ok("page"), "4")
        status = self.sim.request("status").stdout
        self.assertIn("STANDBY", status.splitlines()[1], status)


class WizardUnitSilent(WithWizard):
    sim_options = ("--follow", "--unit1-start-off")

    def test_no_answer_is_told_and_next_tries_again(self):
        self.silent_unit1_then_on(TEXT_104)
        self.next_to(1)


class WizardDetect(WithWizard):
    sim_options = ("--follow", "--uart", "38400,N,2")

    def test_detect_finds_the_setting_and_ok_stores_it(self):
        self.d.ok("click 1015")
        self.d.ok("wait-dialog Application Setting 10000")
        self.d.ok("combo d1022 COM%d" % UNIT1_COM)
        self.d.ok("click d1040")
        self.d.ok("wait-text d1041 Norva-BX answered at 38400, None, 2. Press OK to use this "
                  "setting. %d" % STEP_MS)
        shown = dict(self.d.texts("dtexts"))
        self.assertEqual((shown["1000"], shown["1001"], shown["1002"]), ("38400", "None", "2"))
        self.d.ok("click d1020")
        self.d.ok("wait-no-dialog Application Setting 10000")
        # The unit answers only at its own setting.
        self.next_to(1)


# What each page shows whatever the language: its own template texts.
PAGE_TEXTS = {
    0: ["Please prepare 2EA of Norva-BXs to get paired.\r\n1st unit: Norva-BX01, 2nd unit: "
        "Norva-BX02.\r\n\r\nConnect Norva-BX01 to this computer, supplying power thereto.",
        "Wizard Setting", "Norva-BX01", "Norva-BX02", "(1)", "(2)",
        "Default UART of Norva-BX: 9600bps/NonParity/1StopBit",
        "UART setting of this WIZARD should be identical with the UART of Norva-BX01.\r\n"
        "Press the button below for WIZARD SETTING. "],
    1: ["Let's configure Norva-BX01 to be discoverable/connectable.",
        "Please check and press NEXT button."],
    2: ["Press the button below for WIZARD SETTING, to be identical with Norva-BX02.",
        "Wizard Setting", "Norva-BX2", "Norva-BX1",
        "Leave the Norva-BX01 blinking, and take it out from this computer.\r\n(Make sure "
        "power is being supplied to the Norva-BX01)",
        "Make sure Status LED of Norva-BX01is blinking in Green color.",
        "Now, connect Norva-BX02 to this computer and supply power thereto."],
    3: ["Let's make Norva-BX02 search and connect to Norva-BX01.",
        "Please check and press NEXT button"],
    4: ["To stop to search, press Cancel Search. \r\nPlease select Norva-BX01, by its BD "
        "address, in the list below, and press CONNECT button.", "Connect"],
    5: ["Status LEDs of both Norva-BX01 and Norva-BX02 are in Green color (not blinking)",
        "Successful Connection!"],
    6: ["Now, WIZARD will configure Auto-connection mode.",
        "Two Norva-BXs in this mode will be connected automatically whenever powered.",
        "Configure UART of Norva-BX02 for my use:", "Baud Rate", "Parity", "Stopbit",
        "Don't use Hardware Flow control",
        "Change UART as above, and set up Norva-BX02 to go Auto-connection mode."],
    7: ["Jobs for Norva-BX02 is finished!", "Take it out and connect Norva-BX01 to this computer.",
        "Configure UART of Norva-BX01 for my use:", "Baud Rate", "Parity", "Stopbit",
        "Don't use Hardware Flow control",
        "Change UART as above, and set up Norva-BX01 to go Auto-connection mode."],
    8: ["Auto-connection mode has been successfully configured.",
        "Now Norva-BX01 and Norva-BX02 are paired, and will be connected always, even after "
        "repowered.",
        "Please switch off both Norva-BXs and switch them on at the same time, then both units "
        "will be connected automatically.",
        "연결 확인(&V)", "로그 저장..."],
}


class WizardKorean(WithWizard):
    sim_options = ("--follow", "--unit1-start-off")
    env = KOREAN

    def check_page(self, page):
        shown = self.d.texts()
        caption = "Norva-BX Wizard - Step %d of 9" % (page + 1)
        self.assertEqual(shown[0], ("title", caption + DEMO_KO))
        texts = [text for _, text in shown]
        for text in PAGE_TEXTS[page]:
            self.assertIn(text, texts, "page %d" % page)

    def test_every_page_and_a_message_read_back_exactly(self):
        self.silent_unit1_then_on(TEXT_104_KO)
        self.walk(on_page=self.check_page)
        self.d.ok("press finish")
        self.assertEqual(self.d.ok("wait-exit 20000"), "0")


class WizardWithoutRegister(unittest.TestCase):
    def test_record_is_refused_with_the_reason(self):
        d = Driver(dict(ENGLISH, DISPLAY=None))
        self.addCleanup(d.close)
        wizard = os.path.join(ARGS.build, "winwizard", "norvawizard.exe")
        d.ok("start Z:%s --record pairs.db" % wizard.replace("/", "\\"))
        box = dict(d.texts("wait-dialog 143 %d" % STEP_MS))
        self.assertIn("not part of the Windows build", box["1048"])
        d.ok("click d1")
        self.assertEqual(d.ok("wait-exit 20000"), "2")


GROUPS = {
    "serial": [SerialPort, SerialChunked, SerialBurst, SerialGone],
    "norvactl": [NorvactlCommands, NorvactlDetect, NorvactlEndings],
    "pair": [NorvactlPair, NorvactlOneCable],
    "wizard": [WizardPairsOnOnePort, WizardConnectCancel, WizardUnitSilent, WizardDetect,
               WizardKorean, WizardWithoutRegister],
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
    keeper = hold_headless_desktop() if ARGS.group == "wizard" else None
    suite = unittest.TestSuite()
    for case in GROUPS[ARGS.group]:
        suite.addTests(unittest.defaultTestLoader.loadTestsFromTestCase(case))
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    if keeper:
        keeper.close()
    sys.exit(0 if result.wasSuccessful() else 1)


if __name__ == "__main__":
    main()
