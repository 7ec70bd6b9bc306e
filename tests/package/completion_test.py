#!/usr/bin/env python3
"""The bash completion scripts, run in a real bash against the real programs.

What they offer for commands and options must match the programs' help, and
norvactl's --port must offer the COM names "norvactl ports" lists: a
pseudo-terminal mapped to a COM number through NORVAWIZARD_COM<n> stands in
for a cable.
"""

import argparse
import os
import subprocess
import sys

import helptext


def complete(script, function, words, env=None):
    """COMPREPLY for the command line `words`, the last word being completed."""
    quoted = " ".join("'%s'" % w.replace("'", "'\\''") for w in words)
    program = (
        "source '%s'\n"
        "COMP_WORDS=(%s); COMP_CWORD=%d\n"
        "%s \"${COMP_WORDS[0]}\" \"${COMP_WORDS[COMP_CWORD]}\" \"${COMP_WORDS[COMP_CWORD-1]}\"\n"
        "printf '%%s\\n' \"${COMPREPLY[@]}\"\n" % (script, quoted, len(words) - 1, function)
    )
    r = subprocess.run(
        ["bash", "--norc", "--noprofile", "-c", program],
        capture_output=True,
        text=True,
        timeout=30,
        env=env,
    )
    if r.returncode != 0 or r.stderr:
        raise RuntimeError("bash failed for %s: %s" % (words, r.stderr))
    return {w for w in r.stdout.splitlines() if w}


def check(what, expected, offered, failures):
    if expected != offered:
        failures.append(
            "%s differ:\n  only in --help: %s\n  only in completion: %s"
            % (what, sorted(expected - offered) or "-", sorted(offered - expected) or "-")
        )


def check_norvactl(exe, script, failures):
    general, _ = helptext.program_help(exe)
    commands = helptext.help_commands(general)
    check("commands", commands, complete(script, "_norvactl", [exe, ""]), failures)
    everything = set()
    for command in sorted(commands):
        text = helptext.run([exe, command, "--help"])
        if text == general:
            continue  # "help --help": the general help, for no command in particular
        wanted = helptext.help_options(text)
        offered = complete(script, "_norvactl", [exe, command, "-"])
        everything |= offered
        if not wanted <= offered:
            failures.append("%s: not offered: %s" % (command, sorted(wanted - offered)))
    check("options", helptext.help_options(general) | set().union(
        *(helptext.help_options(helptext.run([exe, c, "--help"])) for c in commands)
    ), everything | complete(script, "_norvactl", [exe, "-"]), failures)
    check("parities", {"none", "even", "odd"},
          complete(script, "_norvactl", [exe, "status", "--parity", ""]), failures)

    leader, follower = os.openpty()
    try:
        env = dict(os.environ, NORVAWIZARD_COM7=os.ttyname(follower))
        listed = {
            line.split()[0]
            for line in helptext.run([exe, "ports"], env=env).splitlines()
            if line.startswith("COM")
        }
        if "COM7" not in listed:
            failures.append("norvactl ports does not list the mapped pty: %s" % sorted(listed))
        offered = complete(script, "_norvactl", [exe, "--baud", "9600", "probe", "--port", ""], env)
        check("COM names", listed, offered, failures)
        offered = complete(script, "_norvactl", [exe, "status", "--port", "COM7"], env)
        check("COM names starting COM7", {c for c in listed if c.startswith("COM7")}, offered,
              failures)
    finally:
        os.close(leader)
        os.close(follower)


def check_norva_sim(exe, script, failures):
    general = helptext.run([exe, "--help"])
    check("requests", helptext.help_commands(general),
          complete(script, "_norva_sim", [exe, ""]), failures)
    offered = complete(script, "_norva_sim", [exe, "-"])
    plain = {o for o in offered if not o.startswith(("--unit1-", "--unit2-"))}
    check("options", helptext.help_options(general), plain, failures)
    for unit in ("--unit1-", "--unit2-"):
        per_unit = {"--" + o[len(unit):] for o in offered if o.startswith(unit)}
        if not per_unit or not per_unit <= plain:
            failures.append("%s options are not unit options: %s" % (unit, sorted(per_unit - plain)))
    for words, expected in (
        ([exe, "--unit2-chunk", ""], set()),
        ([exe, "attach", ""], {"1", "2"}),
        ([exe, "--follow", "--", "bas"], None),
    ):
        got = complete(script, "_norva_sim", words)
        if expected is not None and got != expected:
            failures.append("%s offers %s, not %s" % (words[1:], sorted(got), sorted(expected)))
        if expected is None and "bash" not in got:
            failures.append("after --, command names were not offered: %s" % sorted(got))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--exe", required=True)
    ap.add_argument("--script", required=True)
    args = ap.parse_args()
    failures = []
    if args.exe.endswith("norvactl"):
        check_norvactl(args.exe, args.script, failures)
    else:
        check_norva_sim(args.exe, args.script, failures)
    for f in failures:
        print("FAIL:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
