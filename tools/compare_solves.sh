#!/usr/bin/env bash
# Runs each project through pelvanor-batch twice, with "--solve svd" and with
# "--solve auto", and compares every file the two runs write (and their exit
# statuses) byte for byte.
#
#   tools/compare_solves.sh BATCH WORKDIR PROJECT[:METHOD] ...
#
# METHOD is space (default) or plane.  Prints one line per project and the
# counts at the end; exits 1 when any file or exit status differs.
set -u
if [ $# -lt 3 ]; then
  echo "usage: $0 BATCH WORKDIR PROJECT[:METHOD] ..." >&2
  exit 2
fi
batch=$1 work=$2
shift 2
mkdir -p "$work"
projects=0 same_projects=0 files=0 same_files=0
for project in "$@"; do
  dir=${project%%:*} method=space
  [ "$project" != "$dir" ] && method=${project#*:}
  name=$(echo "$dir" | tr '/' '_')_$method
  mkdir -p "$work/$name"
  status=()
  for solve in svd auto; do
    out="$work/$name/$solve"
    rm -rf "$out"
    "$batch" "$dir" --method "$method" --solve "$solve" --out "$out" >/dev/null 2>"$work/$name/$solve.log"
    status+=($?)
  done
  projects=$((projects + 1))
  differ=0
  [ "${status[0]}" = "${status[1]}" ] || differ=1
  for f in "$work/$name/svd"/* "$work/$name/auto"/*; do
    [ -e "$f" ] || continue
    base=$(basename "$f")
    case "$f" in "$work/$name/auto"/*) [ -e "$work/$name/svd/$base" ] && continue ;; esac
    files=$((files + 1))
    if cmp -s "$work/$name/svd/$base" "$work/$name/auto/$base"; then
      same_files=$((same_files + 1))
    else
      differ=1
      echo "  differs: $base" >&2
    fi
  done
  [ $differ = 0 ] && same_projects=$((same_projects + 1))
  echo "$project: exit ${status[0]}/${status[1]}, $([ $differ = 0 ] && echo identical || echo DIFFERENT)"
done
echo "projects: $same_projects of $projects identical; files: $same_files of $files identical"
[ $same_projects = $projects ]
