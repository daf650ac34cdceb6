#!/usr/bin/env bash
# The main job, end to end: installs what is needed, builds the plug-ins and qxhost, exports
# qxhost's built-in sample task tree to a map, shows the map and the popup, then imports the
# map back under one of the sample's tasks and shows the task tree that results.
#
#   scripts/demo.sh [FOLDER]   FOLDER receives the map and the task tree (default: a new
#                              temporary folder); files from an earlier run are replaced.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

"$root/scripts/setup.sh"

build=build/native
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j "$(nproc)" --target qxhost qx_xmmap_exp qx_xmmap_imp

if [ $# -ge 1 ]; then
  out=$1
  mkdir -p "$out"
else
  out=$(mktemp -d "${TMPDIR:-/tmp}/qx-demo.XXXXXX")
fi
out=$(cd "$out" && pwd)
map="$out/sample.xmmap"
tasks="$out/tasks-after-import.json"

qxhost="$build/host/qxhost"
exporter="$build/export/qx_xmmap_exp.qxdll"
importer="$build/import/qx_xmmap_imp.qxdll"

step() { printf '\n=== %s\n' "$*"; }

step "Export the sample task tree to $map"
popup=$("$qxhost" "$exporter" main --answer "$map" --overwrite)
printf '%s\n' "$popup"
if [ "$popup" != "popup: Successfully saved the data" ] || [ ! -f "$map" ]; then
  echo "demo: the export did not save the map" >&2
  exit 1
fi

step "The map (CR LF line ends shown as plain line ends)"
tr -d '\r' < "$map"

# The sample's task t8 ("Import here") receives the whole map as a branch of its own.
step "Import the map under the sample task \"Import here\" (t8)"
"$qxhost" "$importer" task "t8+0" --answer "$map" --save-tasks "$tasks"

step "The host's task tree after the import (saved in $tasks)"
python3 - "$tasks" <<'EOF'
import json
import sys

with open(sys.argv[1], encoding="utf-8") as f:
    tree = json.load(f)

def describe(task):
    title = task.get("title")
    text = json.dumps(title, ensure_ascii=False) if title is not None else "(no title)"
    extras = []
    if task.get("categories"):
        extras.append("categories: " + ", ".join(task["categories"]))
    if task.get("priority"):
        extras.append("priority: " + task["priority"])
    if task.get("present") is False:
        extras.append("absent")
    return text + (" [" + "; ".join(extras) + "]" if extras else "")

# Iterative, as a tree may nest deeply.
stack = [(tree, 0)]
while stack:
    task, depth = stack.pop()
    print("  " * depth + describe(task))
    stack.extend((child, depth + 1) for child in reversed(task.get("children", [])))
EOF
