#!/usr/bin/env python3
"""A program's manual page against the program itself.

The options, commands and exit statuses in the Markdown source must be the
ones the program's help shows (its general help and each command's help);
the generated page must render without warnings; --version must print the
project version, and an unknown option must be refused with status 2.
"""

import argparse
import gzip
import shutil
import subprocess
import sys

import helptext


def compare(what, from_help, from_man, failures):
    if from_help != from_man:
        failures.append(
            "%s differ:\n  only in --help: %s\n  only in the manual page: %s"
            % (what, sorted(from_help - from_man) or "-", sorted(from_man - from_help) or "-")
        )


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--exe", required=True)
    ap.add_argument("--source", required=True, help="the Markdown manual page")
    ap.add_argument("--page", required=True, help="the generated .1.gz")
    ap.add_argument("--version", help="the version --version must print")
    ap.add_argument(
        "--lead", default="", help="arguments the program must accept before an unknown one"
    )
    args = ap.parse_args()
    failures = []

    general, texts = helptext.program_help(args.exe)
    options = set().union(*(helptext.help_options(t) for t in texts))
    if not options:
        failures.append("no options found in --help:\n" + general)
    compare("options", options, helptext.man_options(args.source), failures)
    compare(
        "commands", helptext.help_commands(general), helptext.man_commands(args.source), failures
    )
    statuses = helptext.help_exit_statuses(general)
    if not statuses:
        failures.append("--help names no exit status")
    compare("exit statuses", statuses, helptext.man_exit_statuses(args.source), failures)

    if shutil.which("groff"):
        with gzip.open(args.page, "rt", encoding="utf-8") as f:
            roff = f.read()
        r = subprocess.run(
            ["groff", "-man", "-ww", "-z", "-Tutf8"], input=roff, capture_output=True, text=True
        )
        if r.returncode != 0 or r.stderr.strip():
            failures.append("groff warns about %s:\n%s" % (args.page, r.stderr))

    name = args.exe.rsplit("/", 1)[-1]
    if args.version:
        out = helptext.run([args.exe, "--version"]).strip()
        if out != "%s %s" % (name, args.version):
            failures.append("--version printed %r, not %r" % (out, name + " " + args.version))

    r = subprocess.run(
        [args.exe] + args.lead.split() + ["--no-such-option"],
        capture_output=True,
        text=True,
        timeout=60,
    )
    if r.returncode != 2 or "--no-such-option" not in r.stderr:
        failures.append("an unknown option after %r gave status %d and %r"
                        % (args.lead, r.returncode, r.stderr))
    for lead in args.lead.split():
        if lead in r.stderr:
            failures.append("%r was not taken as an option of its own: %r" % (lead, r.stderr))

    for f in failures:
        print("FAIL:", f)
    print("%s: %d options, %d commands, %d exit statuses checked"
          % (name, len(options), len(helptext.help_commands(general)), len(statuses)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
