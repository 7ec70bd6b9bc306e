#!/usr/bin/env bash
# Usage: scripts/check-lint.sh [BUILD_DIR] — clang-tidy with the repository's
# .clang-tidy over every folder of product code: for a Linux build (default
# build/plain, made by scripts/build.sh plain) every .cpp file of platform/
# serial/ module/ flow/ station/ frontend/ tools/ sim/ pages/ wizard/ res/ in
# BUILD_DIR's compile_commands.json; for the MinGW-w64 build (build/win64)
# the Windows-only files, winwizard/ platform/win32/ tools/win32/, read with
# the MinGW-w64 headers. The headers of those folders the files include are
# checked too. Prints each finding once and fails on any. NORVA_LINT_JOBS
# sets the parallel runs (default: the cores).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${1:-build/plain}
folders="platform|serial|module|flow|station|tools|sim|pages|wizard|frontend|res"
headers=$folders
db=$build/compile_commands.json
extra=()
if ! command -v clang-tidy >/dev/null; then
    echo "check-lint: clang-tidy is not installed (scripts/deps.sh installs it)" >&2
    exit 2
fi
if [ ! -f "$db" ]; then
    echo "check-lint: $db is missing: run scripts/build.sh plain first" >&2
    exit 2
fi
if [ -f "$db" ] && grep -q 'w64-mingw32' "$db"; then
    # What a Linux build lints already is left out; clang finds the MinGW-w64
    # C++ headers only when told where GCC keeps them.
    folders="winwizard|platform/win32|tools/win32"
    headers="$headers|winwizard"
    gcc_dir=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
    extra=(--extra-arg=--target=x86_64-w64-mingw32
        "--extra-arg=-isystem$gcc_dir/include/c++"
        "--extra-arg=-isystem$gcc_dir/include/c++/x86_64-w64-mingw32")
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
        out=$1 build=$2 filter=$3
        shift 3
        eval "file=\${$#}"
        log="$out/$(printf %s "$file" | tr / _)"
        clang-tidy -p "$build" --quiet --header-filter="$filter" "$@" >"$log.out" 2>&1 ||
            echo "$file" >"$log.failed"' sh "$out" "$build" "^$root_re/($headers)/" \
    ${extra[@]+"${extra[@]}"}
elapsed=$((SECONDS - start))

# A header's finding comes once per file that includes it.
mapfile -t findings < <(cat "$out"/*.out |
    sed -En "s#^$root_re/(($headers)/[^:]*:[0-9]+:[0-9]+: (warning|error): .*)#\1#p" | sort -u)
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
