# Sourced by the scenario runner and the demo: builds the two SQLite databases and the
# option file of one run in a folder, the way a site would set them up.
#   prepare_workdir FOLDER FIXTURE [SECTION...] [SECTION:KEY=VALUE...]
# FIXTURE names tests/e2e/fixtures/FIXTURE.sql (radiology rows) and, when present,
# FIXTURE.archive.sql (image archive rows) and FIXTURE.sh (run in the folder to make the
# files the rows name). SECTIONs of RisOption.ini: ris (RISDATASET),
# dicom (DICOMDATASET), web (DICOMWEBURL); none, or no section at all, writes no file.
# SECTION:KEY=VALUE gives a key of a written section another value (DICOMWEBURL:PASSWORD=).
# The file is written in code page 936 with CRLF line ends, as Windows editors save it.

# The passwords the option file carries; no debugger line may show them.
e2e_passwords=(ris2024pw pacs2024pw viewer2024pw)

prepare_workdir() {
  local dir=$1 fixture=$2
  shift 2
  local fixtures=$RISVIEW_ROOT/tests/e2e/fixtures
  rm -f "$dir/ris.db" "$dir/archive.db" "$dir/RisOption.ini" "$dir/browser.log"
  sqlite3 -bail "$dir/ris.db" <"$RISVIEW_ROOT/db/ris.sql"
  sqlite3 -bail "$dir/archive.db" <"$RISVIEW_ROOT/db/archive.sql"
  if [ -n "$fixture" ]; then
    sqlite3 -bail "$dir/ris.db" <"$fixtures/$fixture.sql"
    if [ -f "$fixtures/$fixture.archive.sql" ]; then
      sqlite3 -bail "$dir/archive.db" <"$fixtures/$fixture.archive.sql"
    fi
    # Files the fixture's rows name (pictures), made in the run folder.
    if [ -f "$fixtures/$fixture.sh" ]; then
      (cd "$dir" && bash "$fixtures/$fixture.sh")
    fi
  fi
  local ini= overrides=()
  for section in "$@"; do
    case $section in
      *=*) overrides+=("$section") ;;
      ris) ini+="[RISDATASET]
SERVER=localhost
DataBaseName=$dir/ris.db
USER=ris
PASSWORD=${e2e_passwords[0]}
Driver=SQLite3
" ;;
      dicom) ini+="[DICOMDATASET]
SERVER=localhost
DataBaseName=$dir/archive.db
USER=pacs
PASSWORD=${e2e_passwords[1]}
Driver=SQLite3
" ;;
      web) ini+="[DICOMWEBURL]
WEBURL=http://127.0.0.1:9/viewer/index.html?studyUID=
USER=viewer
PASSWORD=${e2e_passwords[2]}
" ;;
      none) ;;
      *) echo "prepare_workdir: unknown option-file section $section" >&2; return 1 ;;
    esac
  done
  local override target
  for override in "${overrides[@]}"; do
    target=${override%%=*}
    ini=$(printf '%s' "$ini" | awk -v section="[${target%%:*}]" -v key="${target#*:}" \
      -v value="${override#*=}" '/^\[/ { inside = ($0 == section) }
        inside && index($0, key "=") == 1 { print key "=" value; next }
        { print }')$'\n'
  done
  if [ -n "$ini" ]; then
    printf '%s' "$ini" | sed 's/$/\r/' | iconv -f UTF-8 -t CP936 >"$dir/RisOption.ini"
  fi
}

# A path of this machine as the Windows programs under Wine see it.
windows_path() {
  local path
  path=$(realpath "$1")
  printf 'Z:%s' "${path//\//\\}"
}
