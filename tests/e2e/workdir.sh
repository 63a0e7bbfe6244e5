# Sourced by the scenario runner and the demo: builds the two SQLite databases and the
# option file of one run in a folder, the way a site would set them up.
#   prepare_workdir FOLDER FIXTURE [SECTION...] [SECTION:KEY=VALUE...]
# FIXTURE names tests/e2e/fixtures/FIXTURE.sql (radiology rows; RISVIEW_FIXTURES may name
# another folder) and, when present, FIXTURE.archive.sql (image archive rows) and FIXTURE.sh
# (run in the folder to make the files the rows name). SECTIONs of RisOption.ini: ris (RISDATASET),
# dicom (DICOMDATASET), web (DICOMWEBURL); none, or no section at all, writes no file.
# SECTION:KEY=VALUE gives a key another value (DICOMWEBURL:PASSWORD=), or adds it, and its
# section where there is none (PREVIEW:Editions=1).
# The file is written in code page 936 with CRLF line ends, as Windows editors save it.
# With RISVIEW_E2E_BACKEND=postgres the two databases are fresh databases of the PostgreSQL
# server on RISVIEW_PG_PORT instead, read through psqlODBC as the role risview_reader, which
# may only SELECT: a statement that wrote anything would fail there.

# The passwords the option file carries; no debugger line may show them.
e2e_passwords=(ris2024pw pacs2024pw viewer2024pw reader2024pw)

# psql as the server's superuser, on the port of the backend.
e2e_psql() {
  psql -X -q -v ON_ERROR_STOP=1 -h 127.0.0.1 -p "${RISVIEW_PG_PORT:?no PostgreSQL port}" \
    -U risview "$@"
}

# A database of the PostgreSQL backend with a schema file and rows, readable by the
# SELECT-only role: e2e_pg_database NAME SCHEMA [ROWS]
e2e_pg_database() {
  e2e_psql -d postgres -c "CREATE DATABASE $1"
  e2e_psql -d "$1" -f "$2" ${3:+-f "$3"}
  e2e_psql -d postgres -c "DO \$\$ BEGIN
      IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'risview_reader') THEN
        CREATE ROLE risview_reader LOGIN PASSWORD 'reader2024pw'; END IF; END \$\$"
  e2e_psql -d "$1" -c "REVOKE ALL ON SCHEMA public FROM PUBLIC" \
    -c "GRANT USAGE ON SCHEMA public TO risview_reader" \
    -c "GRANT SELECT ON ALL TABLES IN SCHEMA public TO risview_reader"
  # The role must really be read-only, or a passing run would prove nothing.
  local statement
  for statement in "CREATE TABLE e2e_probe (x INTEGER)" "DELETE FROM RIS_PATIENT" \
    "INSERT INTO RIS_PATIENT (PATIENT_ID) VALUES ('x')"; do
    if PGPASSWORD=reader2024pw psql -X -q -h 127.0.0.1 -p "$RISVIEW_PG_PORT" -U risview_reader \
      -d "$1" -c "$statement" >/dev/null 2>&1; then
      echo "e2e_pg_database: risview_reader may run: $statement" >&2
      return 1
    fi
  done
}

prepare_workdir() {
  local dir=$1 fixture=$2
  shift 2
  local fixtures=${RISVIEW_FIXTURES:-$RISVIEW_ROOT/tests/e2e/fixtures}
  rm -f "$dir/ris.db" "$dir/archive.db" "$dir/RisOption.ini" "$dir/browser.log"
  local ris_rows= archive_rows=
  if [ -n "$fixture" ]; then
    ris_rows=$fixtures/$fixture.sql
    [ -f "$fixtures/$fixture.archive.sql" ] && archive_rows=$fixtures/$fixture.archive.sql
  fi
  local ris_db=$dir/ris.db archive_db=$dir/archive.db server=localhost driver=SQLite3
  local ris_user=ris archive_user=pacs ris_pw=${e2e_passwords[0]} archive_pw=${e2e_passwords[1]}
  if [ "${RISVIEW_E2E_BACKEND:-sqlite}" = postgres ]; then
    local stem
    stem=e2e_$(date +%s%N | tail -c 12)_$$
    e2e_pg_database "${stem}_ris" "$RISVIEW_ROOT/db/ris.sql" "$ris_rows" >/dev/null
    e2e_pg_database "${stem}_archive" "$RISVIEW_ROOT/db/archive.sql" "$archive_rows" >/dev/null
    ris_db=${stem}_ris archive_db=${stem}_archive server=127.0.0.1,$RISVIEW_PG_PORT
    driver="PostgreSQL Unicode" ris_user=risview_reader archive_user=risview_reader
    ris_pw=${e2e_passwords[3]} archive_pw=${e2e_passwords[3]}
    printf '%s\n' "$ris_db" "$archive_db" >"$dir/pg-databases"
  else
    sqlite3 -bail "$dir/ris.db" <"$RISVIEW_ROOT/db/ris.sql"
    sqlite3 -bail "$dir/archive.db" <"$RISVIEW_ROOT/db/archive.sql"
    [ -n "$ris_rows" ] && sqlite3 -bail "$dir/ris.db" <"$ris_rows"
    [ -n "$archive_rows" ] && sqlite3 -bail "$dir/archive.db" <"$archive_rows"
  fi
  # Files the fixture's rows name (pictures), made in the run folder.
  if [ -n "$fixture" ] && [ -f "$fixtures/$fixture.sh" ]; then
    (cd "$dir" && bash "$fixtures/$fixture.sh")
  fi
  local ini= overrides=()
  for section in "$@"; do
    case $section in
      *=*) overrides+=("$section") ;;
      ris) ini+="[RISDATASET]
SERVER=$server
DataBaseName=$ris_db
USER=$ris_user
PASSWORD=$ris_pw
Driver=$driver
" ;;
      dicom) ini+="[DICOMDATASET]
SERVER=$server
DataBaseName=$archive_db
USER=$archive_user
PASSWORD=$archive_pw
Driver=$driver
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
      -v value="${override#*=}" '/^\[/ { if (inside && !done) { print key "=" value; done = 1 }
                                         inside = ($0 == section) }
        inside && index($0, key "=") == 1 { print key "=" value; done = 1; next }
        { print }
        END { if (!done) { if (!inside) print section; print key "=" value } }')$'\n'
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
