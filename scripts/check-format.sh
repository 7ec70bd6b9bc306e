#!/usr/bin/env bash
# Usage: scripts/check-format.sh — checks every git-tracked C++ file (*.cpp,
# *.h) against the repository's .clang-format; prints the files that drift
# and fails if any does. `clang-format -i FILE…` fixes them.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v clang-format >/dev/null; then
    echo "check-format: clang-format is not installed (scripts/deps.sh installs it)" >&2
    exit 2
fi
mapfile -d '' files < <(git ls-files -z -- '*.cpp' '*.h')
if [ ${#files[@]} -eq 0 ]; then
    echo "check-format: no C++ files found" >&2
    exit 2
fi
# One clang-format for all files; each drifting line is reported as
# "FILE:LINE:COL: error: code should be clang-formatted".
report=$(clang-format --dry-run --Werror "${files[@]}" 2>&1) && status=0 || status=$?
if [ "$status" -eq 0 ]; then
    echo "check-format: ${#files[@]} files clean"
    exit 0
fi
mapfile -t drift < <(printf '%s\n' "$report" |
    sed -n 's/^\(.*\):[0-9]*:[0-9]*: error: code should be clang-formatted.*/\1/p' | sort -u)
if [ ${#drift[@]} -eq 0 ]; then
    # Not drift but clang-format itself failing (an unreadable file, a bad
    # .clang-format): show what it said.
    printf '%s\n' "$report" >&2
    echo "check-format: clang-format failed (exit $status)" >&2
    exit 2
fi
echo "check-format: ${#drift[@]} file(s) differ from .clang-format:" >&2
printf '  %s\n' "${drift[@]}" >&2
echo "fix with: clang-format -i ${drift[*]}" >&2
exit 1
