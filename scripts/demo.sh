#!/usr/bin/env bash
# The main job: installs the dependencies, builds, and runs the capture host
# on the built-in simulated demo desktop (vistrel-sim; build/bin/Vistrel
# itself runs on the X11 session of $DISPLAY), feeding it a short
# conversation and printing the answers.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target Vistrel vistrel-sim

conversation=(
  '{"id":1,"method":"health"}'
  '{"id":2,"method":"Health"}'
  'this line is not JSON'
  '{"id":4,"method":"capture.probe","params":{"maximumDimension":800}}'
  '{"id":6,"method":"automation.probe","params":{"automationTarget":"Finder"}}'
  '{"id":7,"method":"automation.reset"}'
)
# One host serves the whole conversation, one answer per request, in order.
requests=$(mktemp)
trap 'rm -f "$requests"' EXIT
printf '%s\n' "${conversation[@]}" > "$requests"
paste -d '\n' <(sed 's/^/>> /' "$requests") <(build/bin/vistrel-sim < "$requests" | sed 's/^/<< /')

# A frame of the demo desktop: the encoded image is saved (and converted to PNG
# for viewing), and the text recognised in it is printed. The windows the
# privacy policy cuts out contribute none of it.
frames=build/demo
mkdir -p "$frames"
echo '{"id":5,"method":"capture.frame","params":{"maximumDimension":3024}}' | build/bin/vistrel-sim > "$frames/frame.json"
python3 - "$frames" <<'PY'
import base64, hashlib, json, pathlib, sys, textwrap
folder = pathlib.Path(sys.argv[1])
answer = json.loads((folder / "frame.json").read_text())
if not answer["ok"]:
    sys.exit(f"capture.frame failed: {answer['error']}")
frame = answer["result"]
image = base64.b64decode(frame["imageBase64"])
assert len(image) == frame["byteLength"] and hashlib.sha256(image).hexdigest() == frame["sha256"]
(folder / "frame.heic").write_bytes(image)
capture = frame["capture"]
print(f">> capture.frame: {capture['width']}x{capture['height']} of {capture['focusedApplicationName']}, "
      f"{capture['excludedWindowCount']} windows cut out, {len(image)} bytes of HEIC (sha256 {frame['sha256'][:16]}…)")
print(f">> accessibility: {frame['accessibility']['extractionMode']}, {len(frame['accessibility']['nodes'])} nodes")
print(f">> recognised text ({frame['ocr']['mode']}, {len(frame['ocr']['segments'])} words):")
print(textwrap.fill(" ".join(frame["ocr"]["fullText"].split("\n")), 100))
PY
if command -v heif-convert >/dev/null; then
  heif-convert "$frames/frame.heic" "$frames/frame.png" >/dev/null
fi
echo ">> saved $frames/frame.heic$( [ -f "$frames/frame.png" ] && echo " and $frames/frame.png")"
