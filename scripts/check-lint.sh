#!/usr/bin/env bash
# Usage: scripts/check-lint.sh [BUILD_DIR] — clang-tidy with the repository's
# .clang-tidy over every folder of product code (platform/ serial/ module/
# flow/ station/ frontend/ tools/ sim/ pages/ wizard/ res/): every .cpp file of
# those folders in BUILD_DIR's
# compile_commands.json (default build/plain, made by scripts/build.sh plain),
# and the headers of those folders they include. Prints each finding once and
# fails on any. NORVA_LINT_JOBS sets the parallel runs (default: the cores).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${1:-build/plain}
folders="platform|serial|module|flow|station|tools|sim|pages|wizard|frontend|res"
db=$build/compile_commands.json
if ! command -v clang-tidy >/dev/null; then
    echo "check-lint: clang-tidy is not installed (scripts/deps.sh installs it)" >&2
    exit 2
fi
if [ ! -f "$db" ]; then
    echo "check-lint: $db is missing: run scripts/build.sh plain first" >&2
    exit 2
fi
mapfile -t files < <(python3 - "$db" "$root" "$folders" <<'PY'
import json, os, re, sys
db, root, folders = sys.argv[1:]
wanted = re.compile(r"^(%s)/.*\.cpp$" % folders)
names = set()
for entry in json.load(open(db)):
    path = os.path.relpath(os.path.join(entry["directory"], entry["file"]), root)
    if wanted.match(path):
        names.add(path)
print("\n".join(sorted(names)))
PY
)
if [ ${#files[@]} -eq 0 ]; then
    echo "check-lint: $db names no file of $folders" >&2
    exit 2
fi

# The checkout's path as a regular expression (it may hold a '.' or '+').
root_re=$(printf '%s' "$root" | sed 's/[][\.*^$+?(){}|#]/\\&/g')
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
start=$SECONDS
# One output file per source, so parallel runs do not interleave; a
# non-zero exit (a compile error) is kept beside it.
printf '%s\0' "${files[@]}" |
    xargs -0 -n 1 -P "${NORVA_LINT_JOBS:-$(nproc)}" sh -c '
        log="$1/$(printf %s "$4" | tr / _)"
        clang-tidy -p "$2" --quiet --header-filter="$3" "$4" >"$log.out" 2>&1 ||
            echo "$4" >"$log.failed"' sh "$out" "$build" "^$root_re/($folders)/"
elapsed=$((SECONDS - start))

# A header's finding comes once per file that includes it.
mapfile -t findings < <(cat "$out"/*.out |
    sed -En "s#^$root_re/(($folders)/[^:]*:[0-9]+:[0-9]+: (warning|error): .*)#\1#p" | sort -u)
failed=$(cat "$out"/*.failed 2>/dev/null || true)
if [ ${#findings[@]} -eq 0 ] && [ -n "$failed" ]; then
    # clang-tidy failed without a finding in these folders (a compile error
    # elsewhere, a bad .clang-tidy): show what it said.
    cat "$out"/*.out >&2
fi
if [ ${#findings[@]} -ne 0 ] || [ -n "$failed" ]; then
    printf '%s\n' "${findings[@]}" >&2
    echo "check-lint: ${#findings[@]} finding(s) in ${#files[@]} files (${elapsed} s);" \
        "the analyzer's steps: clang-tidy -p $build FILE" >&2
    exit 1
fi
echo "check-lint: ${#files[@]} files clean (${elapsed} s)"
