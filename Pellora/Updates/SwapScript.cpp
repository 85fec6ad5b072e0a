#include "SwapScript.h"

namespace pellora::SwapScript {
namespace {

const char* const shebang = "#!/bin/bash\n";

// Everything after the first line; the same on every platform.
const char* const body = R"(PID="$1"; SRC="$2"; DEST="$3"; TARGET="$4"
for _ in $(seq 1 150); do kill -0 "$PID" 2>/dev/null || break; sleep 0.2; done
BACKUP="${DEST}.old"
OPEN="$DEST"
rm -rf "$BACKUP"
if mv "$DEST" "$BACKUP"; then
  if ditto "$SRC" "$TARGET"; then
    rm -rf "$BACKUP" "$SRC"
    OPEN="$TARGET"
  else
    rm -rf "$TARGET"; mv "$BACKUP" "$DEST"
  fi
fi
open "$OPEN")";

// `open` reads the executable's name from Info.plist as macOS does, falling back to the
// folder's name without ".app", and starts it detached so the script can end.
const char* const linuxTools = R"(ditto() { cp -a -- "$1" "$2"; }
open() {
  local name
  name=$(tr '\n' ' ' < "$1/Contents/Info.plist" 2>/dev/null |
    sed -n 's:.*<key>CFBundleExecutable</key>[[:space:]]*<string>\([^<]*\)</string>.*:\1:p')
  [ -n "$name" ] || name=$(basename "$1" .app)
  setsid -f "$1/Contents/MacOS/$name" </dev/null >/dev/null 2>&1
}
)";

} // namespace

std::string forMacOS() { return std::string(shebang) + body; }

std::string forLinux() { return std::string(shebang) + linuxTools + body; }

} // namespace pellora::SwapScript
