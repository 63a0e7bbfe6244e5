# Shared settings of the build and test scripts; sourced, not run.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export RISVIEW_ROOT=$root
cache=$root/.cache
jobs=${JOBS:-$(nproc)}

# Writes odbcinst.ini for one architecture's drivers into a folder.
write_odbcinst() {  # folder libdir
  mkdir -p "$1"
  sed "s|@LIBDIR@|$2|" "$root/tests/env/odbcinst.ini.in" > "$1/odbcinst.ini"
}

stage_start() { stage_name=$1; stage_t0=$(date +%s); echo "== $1"; }
stage_end() { echo "== $stage_name: $(( $(date +%s) - stage_t0 )) s"; }

# Wine's two loaders (the suites of the launcher put stand-ins in their place).
wine_loader32=${RISVIEW_WINE_LOADER32:-/usr/lib/wine/wine}
wine_loader64=${RISVIEW_WINE_LOADER64:-/usr/lib/wine/wine64}

# 32 or 64 for a Windows program (the machine field of its PE header), nothing otherwise.
pe_bits() {
  [ -f "$1" ] || return 0
  local offset machine
  offset=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ')
  [ -n "$offset" ] && [ "$(head -c 2 "$1")" = MZ ] || return 0
  [ "$(od -An -c -j"$offset" -N4 "$1" | tr -d ' ')" = 'PE\0\0' ] || return 0
  machine=$(od -An -tx2 -j$((offset + 4)) -N2 "$1" | tr -d ' ')
  case $machine in
    014c) echo 32 ;;
    8664) echo 64 ;;
  esac
}

# Whether this machine runs 32-bit x86 programs: the 32-bit loader is started, not guessed
# from the kernel. Sets no_32bit_reason when it does not.
runs_32bit() {
  no_32bit_reason=
  if [ "${RISVIEW_NO_32BIT:-0}" = 1 ]; then
    no_32bit_reason="RISVIEW_NO_32BIT=1"
    return 1
  fi
  if [ ! -e "$wine_loader32" ]; then
    no_32bit_reason="no 32-bit Wine loader at $wine_loader32"
    return 1
  fi
  local out rc
  out=$("$wine_loader32" --version 2>&1 </dev/null)
  rc=$?
  [ $rc = 0 ] && return 0
  case $rc in
    126) no_32bit_reason="$wine_loader32: Exec format error" ;;
    *) no_32bit_reason="$wine_loader32 --version exited $rc: $(printf '%s' "$out" | tail -n 1)" ;;
  esac
  return 1
}

# The bitness the demo, the benchmarks and the figures use: 32-bit where it runs.
default_bits() { if runs_32bit; then echo 32; else echo 64; fi; }
