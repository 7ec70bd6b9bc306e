"""What a program's --help and a Markdown manual page say about its interface.

Both sides are read the same way whatever prints the help (our own usage
texts or a CLI11 formatter), so that any later drift between program, manual
page and completion shows up as a set difference.
"""

import re
import subprocess

OPTION = re.compile(r"(?<![\w-])(--?[A-Za-z][A-Za-z0-9-]*[A-Za-z0-9]|-[A-Za-z])(?![\w])")


def run(argv, env=None):
    p = subprocess.run(argv, capture_output=True, text=True, timeout=60, env=env)
    return p.stdout + p.stderr


def _sections(text):
    """(header, [indented lines]) pairs; a header is any run of unindented lines."""
    sections = []
    header, body = "", []
    in_header = False
    for line in text.splitlines():
        if line.strip() and not line[0].isspace():
            if not in_header:
                sections.append((header, body))
                header, body = "", []
            header += " " + line.strip()
            in_header = True
        else:
            in_header = False
            body.append(line)
    sections.append((header, body))
    return sections


def help_options(text):
    """Options in the usage lines and in the left column of option listings."""
    options = set()
    for header, body in _sections(text):
        if header.strip().lower().startswith("usage"):
            options |= set(OPTION.findall(header))
            options |= {o for line in body for o in OPTION.findall(line)}
            continue
        for line in body:
            stripped = line.strip()
            if stripped.startswith("-"):
                # The left column ends at the first gap of two spaces.
                options |= set(OPTION.findall(re.split(r"\s{2,}", stripped)[0]))
    return options


def help_commands(text):
    """First words of the entries in a "Commands:" or "... requests" section."""
    for header, body in _sections(text):
        head = header.split("(")[0].lower()
        if re.search(r"\b(sub)?commands?\b|\brequests?\b", head) and "option" not in head:
            entries = [l for l in body if l.strip()]
            if not entries:
                continue
            indent = min(len(l) - len(l.lstrip()) for l in entries)
            return {l.split()[0] for l in entries if len(l) - len(l.lstrip()) == indent}
    return set()


def help_exit_statuses(text):
    m = re.search(r"^exit status(.*?)(?=\n\s*\n|\Z)", text, re.I | re.S | re.M)
    return set(re.findall(r"\b\d{1,3}\b", m.group(1))) if m else set()


def _plain(markdown):
    return re.sub(r"[`*\\]", "", markdown)


def man_terms(path):
    """{section: [definition-list terms]} of a Markdown manual page."""
    with open(path, encoding="utf-8") as f:
        lines = f.read().splitlines()
    terms, section = {}, ""
    for i, line in enumerate(lines):
        if line.startswith("# "):
            section = line[2:].strip()
        elif line.strip() and i + 1 < len(lines) and lines[i + 1].startswith(":"):
            terms.setdefault(section, []).append(_plain(line.strip()))
    return terms


def man_options(path):
    return {o for ts in man_terms(path).values() for t in ts for o in OPTION.findall(t)}


def man_commands(path):
    return {
        t.split()[0]
        for s, ts in man_terms(path).items()
        if re.search(r"COMMANDS|REQUESTS", s)
        for t in ts
    }


def man_exit_statuses(path):
    return {n for t in man_terms(path).get("EXIT STATUS", []) for n in re.findall(r"\d+", t)}


def program_help(exe):
    """The general help and, for programs with commands, every command's help."""
    general = run([exe, "--help"])
    texts = [general] + [run([exe, c, "--help"]) for c in sorted(help_commands(general))]
    return general, texts
