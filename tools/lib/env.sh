# Shared shell helpers of tools/test and tools/demo: builds, the Wine prefix template and its
# per-run copies, and the private environment a run lives in (network namespace, Xvfb, a warm
# wineserver, the local services). Sourced, never run; the caller sets `set -euo pipefail`.
#
# Caller-visible variables:
#   root        repository root (set here from this file's location)
#   run_dir     temporary folder of this run (the caller creates it and removes it)
#   log_dir     where the logs of Xvfb, Wine's system processes and the services go
#               (default: run_dir)
#   tag         prefix of the progress lines ("test", "demo")

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
tag=${tag:-zelvane}
zelvane_cache=${ZELVANE_CACHE:-/var/cache/zelvane}

# The stub ships as a 32-bit program (preset mingw). What runs under Wine here (Wine tests, e2e,
# demo, start-up benchmark) is the x86_64 build of the same sources (preset mingw64) by default:
# some machines' kernels cannot run 32-bit Linux programs, and so no 32-bit Wine. Where 32-bit
# Wine works, ZELVANE_RUN_PRESET=mingw runs the shipped architecture instead.
ship_preset=mingw
run_preset=${ZELVANE_RUN_PRESET:-mingw64}
# `wine` and `wine-stable` go to the 64-bit loader (tools/lib/wine-bin/wine says why).
export PATH="$root/tools/lib/wine-bin:$PATH"

say() { echo "$tag: $*"; }
die() { echo "$tag: $*" >&2; exit 1; }

require_root() {
  [ "$(id -u)" -eq 0 ] || die "must run as root (apt-get, unshare -n)"
}

# One run at a time per working tree: builds and build/wine-prefix are shared state.
# Daemons started later close fd 9, so the lock goes away with this script.
lock_tree() {
  mkdir -p "$root/build"
  exec 9>"$root/build/.run.lock"
  if ! flock -n 9; then
    say "waiting for another tools/test or tools/demo in this tree"
    flock 9
  fi
}
unlock_tree() { exec 9>&-; }

# ---------------------------------------------------------------- builds

# build_preset NAME [cmake --build args...]: configure and build one CMake preset, reusing
# its build tree. A cache that no longer configures (another generator, a moved toolchain)
# is retried once from scratch.
build_preset() {
  local preset=$1; shift
  local log="$run_dir/configure-$preset.log"
  say "configure $preset"
  if ! (cd "$root" && cmake --preset "$preset") >"$log" 2>&1; then
    say "configure $preset failed; retrying with a fresh cache"
    if ! (cd "$root" && cmake --preset "$preset" --fresh) >"$log" 2>&1; then
      cat "$log"
      say "configure $preset FAILED"
      return 1
    fi
  fi
  say "build $preset"
  if ! (cd "$root" && cmake --build --preset "$preset" "$@"); then
    say "build $preset FAILED"
    return 1
  fi
}

# ---------------------------------------------------------------- Wine prefixes

export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}   # no Mono/Gecko install dialogs

wine_id() {
  local v
  v=$(wine --version)                    # e.g. "wine-8.0 (Debian 8.0~repack-4)"
  v=${v#wine-}
  v=${v// /_}
  echo "${v//[^A-Za-z0-9._-]/}"            # 8.0_Debian_8.0repack-4
}

# wine_template WINVER: sets template_dir to the cached template prefix for WINVER (win10,
# win7), creating it first if needed. A 64-bit prefix, so 32-bit programs run under WOW64.
# Functions here check each step themselves: `set -e` does not reach into `f || ...` calls.
# Raise template_revision when make_wine_template changes, so cached templates are made anew.
template_revision=5
template_dir=
wine_template() {
  local winver=$1 rc=0
  template_dir="$zelvane_cache/wine-template-$(wine_id)-$winver-r$template_revision"
  [ -f "$template_dir/.zelvane-template" ] && return 0
  mkdir -p "$zelvane_cache" || return 1
  exec 8>"$zelvane_cache/.wine-template.lock"
  flock 8
  if [ ! -f "$template_dir/.zelvane-template" ]; then
    make_wine_template "$winver" "$template_dir" || rc=1
  fi
  exec 8>&-
  return $rc
}

make_wine_template() {
  local winver=$1 dir=$2 tmp="$2.tmp.$$" log="$run_dir/wineboot-$1.log"
  say "creating the Wine template prefix $dir (once, about 20 s)"
  rm -rf "$tmp"
  (
    export WINEPREFIX="$tmp" WINEARCH=win64 WINEDEBUG=-all
    unset DISPLAY
    wineboot -i && wine winecfg -v "$winver" &&
      # Without a window manager, Wine waits 2 s for every window it hides unless windows are unmanaged.
      wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
    wineserver -w
  ) </dev/null >"$log" 2>&1 8>&- 9>&-
  # The user's Desktop, Documents, Downloads, ... are links to the host's home folder in a new
  # prefix: make them real folders, so that nothing a test saves lands outside the prefix.
  local link
  for link in "$tmp"/drive_c/users/*/*; do
    [ -L "$link" ] && rm "$link" && mkdir "$link"
  done
  # This Wine does not find its own fonts (Tahoma, MS Sans Serif, Marlett, ...) where Debian
  # installs them (/usr/share/wine/fonts), so every face falls back to Liberation Sans,
  # whose break character is "!": SysLink controls then show their <a> markup as text and caption
  # buttons show letters. Fonts in the prefix's own Fonts folder are always loaded.
  cp -n /usr/share/wine/fonts/* "$tmp/drive_c/windows/Fonts/" 2>/dev/null || true
  if ! wine_prefix_valid "$tmp" "$winver"; then
    cat "$log" >&2
    rm -rf "$tmp"
    say "the new Wine prefix does not report $winver"
    return 1
  fi
  # Debian's Wine keeps a per-prefix server folder name here; every copy makes its own.
  rm -f "$tmp/wineserver"
  echo "$(wine --version) $winver $(date -u +%FT%TZ)" >"$tmp/.zelvane-template" &&
    rm -rf "$dir" && mv "$tmp" "$dir"
}

# wine_prefix_valid DIR WINVER: a 64-bit prefix with the asked Windows version in its registry.
wine_prefix_valid() {
  local dir=$1 winver=$2
  [ -d "$dir/drive_c/windows/syswow64" ] && [ -f "$dir/system.reg" ] || return 1
  grep -q '^"Managed"="N"' "$dir/user.reg" || return 1
  case $winver in
    win10) grep -q '^"CurrentMajorVersionNumber"=dword:0000000a' "$dir/system.reg" ;;
    win7)  grep -q '^"CurrentVersion"="6.1"' "$dir/system.reg" &&
           grep -q '^"CSDVersion"="Service Pack 1"' "$dir/system.reg" ;;
    *)     return 0 ;;
  esac
}

# wine_prefix_copy WINVER DEST: a private prefix for one run, replacing what DEST held.
wine_prefix_copy() {
  local winver=$1 dest=$2
  wine_template "$winver" || return 1
  if [ -e "$dest" ]; then
    WINEPREFIX="$dest" wineserver -k >/dev/null 2>&1 || true   # left over by a killed run
    rm -rf "$dest" || return 1
  fi
  mkdir -p "$(dirname "$dest")" && cp -a "$template_dir" "$dest"
}

# ---------------------------------------------------------------- the private environment

# Runs as the first thing inside `unshare -m -n`: only loopback, so port 443 is ours, and the
# test host names.
namespace_up() {
  ip link set lo up
  use_test_hosts
}

# use_test_hosts: inside a private mount namespace, bind-mounts a copy of
# tools/content-service/hosts over /etc/hosts, so that content.zelvane.test and the other test
# names resolve to the loopback addresses (for Wine too). The machine's /etc/hosts is untouched
# outside. Refuses to run in the machine's own mount namespace.
use_test_hosts() {
  local src="$root/tools/content-service/hosts"
  [ -f "$src" ] || return 0
  if [ "$(readlink /proc/self/ns/mnt)" = "$(readlink /proc/1/ns/mnt)" ]; then
    die "use_test_hosts: not in a private mount namespace (unshare -m)"
  fi
  cp "$src" "$run_dir/hosts" && mount --bind "$run_dir/hosts" /etc/hosts
}

# start_xvfb: a private X server on a free display; sets DISPLAY and xvfb_pid.
xvfb_pid=
start_xvfb() {
  local fifo="$run_dir/xvfb.displayfd" n=
  mkfifo "$fifo"
  Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 \
    3>"$fifo" </dev/null >"${log_dir:-$run_dir}/xvfb.log" 2>&1 8>&- 9>&- &
  xvfb_pid=$!
  # Xvfb writes the display number once it accepts clients; EOF if it died.
  read -r -t 60 n <"$fifo" || true
  if [ -z "$n" ]; then
    cat "${log_dir:-$run_dir}/xvfb.log" >&2
    return 1
  fi
  export DISPLAY=":$n"
  say "Xvfb on $DISPLAY"
}

stop_xvfb() {
  [ -n "$xvfb_pid" ] || return 0
  kill "$xvfb_pid" 2>/dev/null || true
  wait "$xvfb_pid" 2>/dev/null || true
  xvfb_pid=
}

# start_wineserver: a persistent wineserver for $WINEPREFIX, warmed up by one process whose
# standard streams are not a pipe. The system processes (services, winedevice, explorer) it
# starts keep the streams they inherit; had the first Wine process been a ctest child, ctest
# would wait for them forever.
wineserver_up=
start_wineserver() {
  : "${WINEPREFIX:?}"
  local logs=${log_dir:-$run_dir}
  wineserver -p </dev/null >"$logs/wineserver.log" 2>&1 8>&- 9>&-
  wineserver_up=1
  (cd "$run_dir" && wine cmd /c exit) </dev/null >"$logs/wine-system.log" 2>&1 8>&- 9>&-
}

stop_wineserver() {
  [ -n "$wineserver_up" ] || return 0
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  wineserver_up=
}

# Local services, started inside the namespace after the wineserver and stopped before it.
# Contract for tools/content-service/: an executable `start` is run in the background with
# ZELVANE_RUN_DIR set (a folder of this run, removed afterwards); once it serves, it creates
# $ZELVANE_RUN_DIR/content-service.ready. It is sent SIGTERM at the end. Its output goes to
# content-service.log in log_dir (build/test-results/ for tools/test), shown when it fails
# to come up.
service_pids=()
start_services() {
  export ZELVANE_RUN_DIR="$run_dir"
  local svc="$root/tools/content-service" log="${log_dir:-$run_dir}/content-service.log"
  [ -d "$svc" ] || return 0
  if [ ! -x "$svc/start" ]; then
    say "tools/content-service has no executable start: not started"
    return 0
  fi
  say "starting tools/content-service"
  "$svc/start" </dev/null >"$log" 2>&1 8>&- 9>&- &
  service_pids+=($!)
  local i
  for ((i = 0; i < 600; i++)); do      # up to 60 s, ends as soon as it is ready or dead
    [ -e "$run_dir/content-service.ready" ] && { trust_test_ca; return; }
    kill -0 "${service_pids[-1]}" 2>/dev/null || break
    sleep 0.1
  done
  cat "$log" >&2
  say "tools/content-service did not come up"
  return 1
}

# trust_test_ca: imports the CA of this run's content service into the machine Root store of
# $WINEPREFIX (never the host's store), with cert-import.exe from $run_dir/bin or the test build.
# Nothing to do without a service or outside a Wine run.
trust_test_ca() {
  local ca="$run_dir/content-service/ca.der" exe dir out
  [ -f "$ca" ] && [ -n "${WINEPREFIX:-}" ] || return 0
  for dir in "$run_dir/bin" "$root/build/$run_preset/bin"; do
    [ -f "$dir/cert-import.exe" ] && exe="$dir/cert-import.exe" && break
  done
  if [ -z "${exe:-}" ]; then
    say "no cert-import.exe: the test CA is not trusted in $WINEPREFIX"
    return 0
  fi
  if ! out=$(cd "$(dirname "$exe")" && wine cert-import.exe add "Z:${ca//\//\\}" </dev/null 2>&1); then
    echo "$out" >&2
    say "importing the test CA into $WINEPREFIX failed"
    return 1
  fi
  say "test CA trusted in $WINEPREFIX"
}

stop_services() {
  local pid
  for pid in "${service_pids[@]}"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  service_pids=()
  # The full request log outlives the run folder next to the service's output.
  local requests="$run_dir/content-service/requests.jsonl"
  if [ -n "${log_dir:-}" ] && [ -s "$requests" ]; then
    cp "$requests" "$log_dir/content-service-requests.jsonl" || true
  fi
}

# Tears down whatever of the environment was started, in reverse order.
stop_environment() {
  stop_services
  stop_wineserver
  stop_xvfb
}

# Environment every Wine process of a run sees (tests may override WINEDEBUG).
wine_env() {
  export WINEPREFIX=$1
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES
  unset WINEARCH        # the prefix already knows; a stray value would only conflict
}
