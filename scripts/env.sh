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
