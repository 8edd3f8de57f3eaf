#!/usr/bin/env bash
# The main job: installs the dependencies, builds, and runs the capture host
# on a real X display of its own — a private Xvfb with openbox and a few real
# windows — asking for health, a probe and a frame with a window excluded;
# the frame is saved as HEIC and PNG, and its recognised text is printed with
# what was cut out. Then the same host on the built-in simulated demo desktop
# (vistrel-sim) answers a short conversation.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
# The X11 backend is the default on Linux; said explicitly so that a build
# folder configured before it existed is brought up to date.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSABLEKIT_DEFAULT_PLATFORM=x11 >/dev/null
cmake --build build -j "$(nproc)" --target Vistrel vistrel-sim

frames=build/demo
mkdir -p "$frames"
work=$(mktemp -d)
started=()
# Everything this script started goes, newest first, however it ends.
cleanup() {
  local index
  for ((index = ${#started[@]} - 1; index >= 0; index--)); do
    kill "${started[index]}" 2>/dev/null || true
    wait "${started[index]}" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

waitFor() {  # waitFor DESCRIPTION COMMAND...: up to 10 s for COMMAND to succeed
  local description=$1 attempt
  shift
  for attempt in $(seq 100); do
    if "$@" >/dev/null 2>&1; then return 0; fi
    sleep 0.1
  done
  echo "demo: $description did not happen" >&2
  exit 1
}

# showFrame NAME: checks the capture.frame answer in $frames/NAME.json (length
# and digest), saves its image as NAME.heic and NAME.png, and prints what it
# shows and the text recognised in it.
showFrame() {
  python3 - "$frames" "$1" <<'PY'
import base64, hashlib, json, pathlib, sys, textwrap
folder, name = pathlib.Path(sys.argv[1]), sys.argv[2]
answer = json.loads((folder / f"{name}.json").read_text())
if not answer["ok"]:
    sys.exit(f"capture.frame failed: {answer['error']}")
frame = answer["result"]
image = base64.b64decode(frame["imageBase64"])
assert len(image) == frame["byteLength"] and hashlib.sha256(image).hexdigest() == frame["sha256"]
(folder / f"{name}.heic").write_bytes(image)
capture = frame["capture"]
print(f">> capture.frame: {capture['width']}x{capture['height']} of {capture['focusedApplicationName']}, "
      f"{capture['excludedWindowCount']} windows cut out, {len(image)} bytes of HEIC (sha256 {frame['sha256'][:16]}…)")
print(f">> accessibility: {frame['accessibility']['extractionMode']}, {len(frame['accessibility']['nodes'])} nodes")
print(f">> recognised text ({frame['ocr']['mode']}, {len(frame['ocr']['segments'])} words):")
print(textwrap.fill(" ".join(frame["ocr"]["fullText"].split("\n")), 100))
PY
  if command -v heif-convert >/dev/null; then
    heif-convert "$frames/$1.heic" "$frames/$1.png" >/dev/null
  fi
  echo ">> saved $frames/$1.heic$([ -f "$frames/$1.png" ] && echo " and $frames/$1.png")"
}

echo "== Vistrel on a virtual X display"
# A private server with its own authority cookie, on whichever display number
# is free (-displayfd writes it once the server accepts clients).
cookie=$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')
touch "$work/server-auth" "$work/client-auth"
xauth -q -f "$work/server-auth" add :0 MIT-MAGIC-COOKIE-1 "$cookie"
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -auth "$work/server-auth" 3>"$work/display-number" \
  >/dev/null 2>&1 &
started+=($!)
waitFor "Xvfb start-up" test -s "$work/display-number"
export DISPLAY=":$(head -n1 "$work/display-number")"
export XAUTHORITY="$work/client-auth"
xauth -q add "$DISPLAY" MIT-MAGIC-COOKIE-1 "$cookie"

openbox --sm-disable >/dev/null 2>&1 &
started+=($!)
waitFor "openbox start-up" wmctrl -m
sleep 0.5  # openbox names itself on the root just before its event loop runs

secret=SWORDFISH
cat >"$work/notes.txt" <<'TEXT'
Meeting notes for Thursday
Ship the capture host on Linux
Review the privacy filter with the team
TEXT
printf 'Vault of Ada\nbank login: ada\npassword: %s\n' "$secret" >"$work/vault.txt"
printf 'Journal\nDear diary, the demo runs today\n' >"$work/journal.txt"
# Each xterm shows a file and stays open, in a large core font of xfonts-base.
terminal() {  # terminal CLASS TITLE GEOMETRY FILE
  xterm -class "$1" -T "$2" -geometry "$3" -fn 10x20 -bg white -fg black \
    -e sh -c 'cat "$1"; exec sleep 100000' sh "$4" >/dev/null 2>&1 &
  started+=($!)
  waitFor "the window \"$2\"" sh -c "wmctrl -l | grep -qF -- '$2'"
}
terminal XTerm "Notes" 52x6+30+40 "$work/notes.txt"
xlogo -geometry 260x260+620+60 >/dev/null 2>&1 &
started+=($!)
waitFor "the xlogo window" sh -c "wmctrl -l | grep -q xlogo"
terminal KeePassXC "Passwords - KeePassXC" 40x5+300+150 "$work/vault.txt"
terminal Journal "Journal" 40x4+700+250 "$work/journal.txt"
xdotool search --name '^Notes$' windowactivate --sync >/dev/null 2>&1 || wmctrl -a Notes

echo ">> the windows on $DISPLAY (wmctrl -l):"
wmctrl -l | sed 's/^/   /'
wmctrl -l >"$work/windows"

# One Vistrel serves the conversation; the frame excludes the journal
# ("journal" is its WM_CLASS class), and the password manager is protected by
# default. Both lie partly over other windows, which show complete beneath.
python3 - build/bin/Vistrel "$frames" <<'PY'
import json, pathlib, subprocess, sys, time
vistrel, folder = sys.argv[1], pathlib.Path(sys.argv[2])
host = subprocess.Popen([vistrel], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)

def ask(request, show=True):
    line = json.dumps(request)
    host.stdin.write(line + "\n")
    host.stdin.flush()
    answer = host.stdout.readline()
    if show:
        print(">> " + line)
        print("<< " + (answer.strip() if len(answer) < 2000 else answer[:300] + "…"))
    return json.loads(answer)

ask({"id": 1, "method": "health"})
probe = ask({"id": 2, "method": "capture.probe", "params": {"maximumDimension": 1280}}, show=False)
print('>> {"id": 2, "method": "capture.probe", "params": {"maximumDimension": 1280}}')
if not probe["ok"]:
    sys.exit(f"capture.probe failed: {probe['error']}")
result = probe["result"]
print(f"<< {result['width']}x{result['height']}, focused: {result['focusedWindowTitle']!r} "
      f"({result['focusedBundleID']}), {result['visibleWindowCount']} windows shown, "
      f"{result['excludedWindowCount']} cut out")
# The windows repaint into their off-screen pixmaps once the host has
# redirected them at its start; give them a moment before the frame.
time.sleep(1)
request = {"id": 3, "method": "capture.frame",
           "params": {"maximumDimension": 1280, "excludedBundleIDs": ["journal"]}}
print(">> " + json.dumps(request))
host.stdin.write(json.dumps(request) + "\n")
host.stdin.flush()
(folder / "x11-frame.json").write_text(host.stdout.readline())
host.stdin.close()
host.wait()
PY
showFrame x11-frame

# What was cut out: the windows on the display that the frame does not list.
python3 - "$frames/x11-frame.json" "$work/windows" "$secret" <<'PY'
import json, pathlib, sys
frame = json.loads(pathlib.Path(sys.argv[1]).read_text())["result"]
secret = sys.argv[3]
titles = {}
for line in pathlib.Path(sys.argv[2]).read_text().splitlines():
    fields = line.split(None, 3)
    if len(fields) >= 3:
        titles[int(fields[0], 16)] = fields[3] if len(fields) == 4 else ""
shown = {window["windowID"] for window in frame["capture"]["windows"]}
cut = [title for window_id, title in titles.items() if window_id not in shown]
print(f">> cut out: {frame['capture']['excludedWindowCount']} windows — " + ", ".join(repr(title) for title in cut))
text = frame["ocr"]["fullText"].lower()
for word in (secret, "diary"):
    print(f">> {word!r} in the recognised text: {'YES — LEAKED' if word.lower() in text else 'no'}")
if secret.lower() in text:
    sys.exit("the protected window's secret was recognised")
PY

echo
echo "== vistrel-sim on the built-in simulated demo desktop"
conversation=(
  '{"id":1,"method":"health"}'
  '{"id":2,"method":"Health"}'
  'this line is not JSON'
  '{"id":4,"method":"capture.probe","params":{"maximumDimension":800}}'
  '{"id":6,"method":"automation.probe","params":{"automationTarget":"Finder"}}'
  '{"id":7,"method":"automation.reset"}'
)
# One host serves the whole conversation, one answer per request, in order.
printf '%s\n' "${conversation[@]}" >"$work/requests"
paste -d '\n' <(sed 's/^/>> /' "$work/requests") <(build/bin/vistrel-sim <"$work/requests" | sed 's/^/<< /')

# A frame of the demo desktop: the encoded image is saved (and converted to PNG
# for viewing), and the text recognised in it is printed. The windows the
# privacy policy cuts out contribute none of it.
echo '{"id":5,"method":"capture.frame","params":{"maximumDimension":3024}}' | build/bin/vistrel-sim >"$frames/frame.json"
showFrame frame
