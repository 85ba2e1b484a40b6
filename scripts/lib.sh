# shellcheck shell=bash
# Shared by the project's scripts. Not meant to be run on its own.

# Where Debian's zlib source package is unpacked; the CMake build reads minizip from it.
zlib_source_root=${SFX_ZLIB_SOURCE_ROOT:-/var/cache/sfx-launcher}
zlib_source_dir=$zlib_source_root/zlib
deb_src_file=/etc/apt/sources.list.d/sfx-launcher-deb-src.sources

# Prints deb-src stanzas for every Debian entry of this machine (same URIs, suites,
# components and keyring), so that no archive host is ever written into the project.
write_deb_src_entries() {
  local codename f
  codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    [ "$f" = "$deb_src_file" ] && continue
    awk -v codename="$codename" '
      function flush() {
        if (types ~ /(^| )deb( |$)/ && suites ~ ("(^| )" codename "([- ]|$)")) {
          print "Types: deb-src"; print "URIs: " uris; print "Suites: " suites
          print "Components: " comps
          if (signed != "") print "Signed-By: " signed
          print ""
        }
        types = uris = suites = comps = signed = ""
      }
      /^[ \t]*$/ { flush(); next }
      /^#/ { next }
      /^Types:/ { sub(/^Types:[ \t]*/, ""); types = $0 }
      /^URIs:/ { sub(/^URIs:[ \t]*/, ""); uris = $0 }
      /^Suites:/ { sub(/^Suites:[ \t]*/, ""); suites = $0 }
      /^Components:/ { sub(/^Components:[ \t]*/, ""); comps = $0 }
      /^Signed-By:/ { sub(/^Signed-By:[ \t]*/, ""); signed = $0 }
      END { flush() }
    ' "$f"
  done
  # One-line entries, where a machine still has them.
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    awk -v codename="$codename" '
      $1 == "deb" && $0 ~ (" " codename "([- ]|$)") {
        sub(/^deb[ \t]+/, ""); printf "Types: deb-src\n"
        if ($1 ~ /^\[/) { opts = $1; sub(/^[^ ]+[ \t]+/, "") }
        print "URIs: " $1; print "Suites: " $2
        comps = ""; for (i = 3; i <= NF; i++) comps = comps (i > 3 ? " " : "") $i
        print "Components: " comps; print ""
      }' "$f"
  done
}

# Downloads fail now and then for reasons that pass (a dropped connection, a busy
# mirror, apt's lock held by another run), so they get a few attempts.
retry_attempts=3
retry_pause=5

# with_retries ERRFILE WHAT COMMAND...: runs COMMAND until it succeeds, at most
# $retry_attempts times; the last attempt's standard error is left in ERRFILE.
with_retries() {
  local errfile=$1 what=$2 attempt=1 status
  shift 2
  while :; do
    "$@" 2>"$errfile" && return 0
    status=$?
    [ "$attempt" -lt "$retry_attempts" ] || return "$status"
    # A 404 is the archive's own answer, not a passing fault: asking again changes nothing.
    if grep -qE '[[:space:]]404[[:space:]]+Not Found' "$errfile"; then return "$status"; fi
    echo "bootstrap: $what failed (attempt $attempt of $retry_attempts), trying again in ${retry_pause}s" >&2
    sleep "$retry_pause"
    attempt=$((attempt + 1))
  done
}

# Prints the tail of a captured error output, indented under the message that explains it.
show_errors() {
  tail -n 5 "$1" | sed 's/^/    /' >&2
}

# fetch_zlib_version DIR VERSION: downloads and unpacks one version into an empty DIR.
fetch_zlib_version() {
  rm -rf "$1" && mkdir -p "$1" && (cd "$1" && apt-get source -qq "zlib=$2" >/dev/null)
}

# Fetches and unpacks Debian's zlib source package once; later calls only check.
# The newest version comes first (security updates included); when it cannot be had,
# the next one the archive lists is tried.
fetch_zlib_source() {
  local versions have work v unpacked now recent newest
  local failed_file=$zlib_source_root/fetch-failed tried=()
  have=$(cat "$zlib_source_dir/.debian-version" 2>/dev/null || true)
  mkdir -p "$zlib_source_root"
  # Earlier bootstraps listed versions here for good after one failed download.
  rm -f "$zlib_source_root/unavailable"
  now=$(date +%s)
  versions=$(apt-cache showsrc zlib 2>/dev/null | awk '/^Version:/ { print $2 }' | sort -Vr | uniq)
  if [ -n "$have" ]; then
    # With sources already unpacked, a version that failed within the last day waits
    # for the next day, so that every run does not sit through the same retries.
    recent=$(awk -v now="$now" '$1 > now - 86400 { print $2 }' "$failed_file" 2>/dev/null || true)
    if [ -n "$recent" ]; then
      versions=$(echo "$versions" | grep -vxF -e "$recent" || true)
    fi
    newest=$(echo "$versions" | head -n 1)
    if [ -z "$newest" ] || dpkg --compare-versions "$newest" le "$have"; then
      return 0
    fi
  elif [ -z "$versions" ]; then
    echo "bootstrap: apt-cache lists no zlib source package; are the deb-src entries in $deb_src_file and has apt-get update run?" >&2
    return 1
  fi
  work=$(mktemp -d "$zlib_source_root/fetch.XXXXXX")
  chmod 755 "$work"
  for v in $versions; do
    # Nothing older than what is unpacked is worth fetching.
    if [ -n "$have" ] && dpkg --compare-versions "$v" le "$have"; then break; fi
    tried+=("$v")
    echo "bootstrap: fetching Debian's zlib $v source package into $zlib_source_dir"
    if with_retries "$work/err" "apt-get source zlib=$v" fetch_zlib_version "$work/src" "$v"; then
      unpacked=$(find "$work/src" -mindepth 1 -maxdepth 1 -type d -name 'zlib-*' | head -n 1)
      if [ -f "$unpacked/contrib/minizip/unzip.c" ]; then
        echo "$v" > "$unpacked/.debian-version"
        rm -rf "$zlib_source_dir"
        mv "$unpacked" "$zlib_source_dir"
        rm -rf "$work"
        return 0
      fi
      echo "(apt-get source worked, but the unpacked source has no contrib/minizip/unzip.c)" > "$work/err"
    fi
    echo "bootstrap: could not fetch zlib $v; apt-get said:" >&2
    show_errors "$work/err"
    { awk -v now="$now" '$1 > now - 86400' "$failed_file" 2>/dev/null || true; echo "$now $v"; } > "$failed_file.tmp"
    mv "$failed_file.tmp" "$failed_file"
  done
  rm -rf "$work"
  if [ -n "$have" ]; then
    echo "bootstrap: keeping zlib $have (could not fetch ${tried[*]}; tried again after a day)" >&2
    return 0
  fi
  echo "bootstrap: could not fetch Debian's zlib source package (tried ${tried[*]})" >&2
  return 1
}

# Whether this machine runs 32-bit x86 Linux programs: some kernels of our kind refuse
# them, and then Wine's 32-bit side cannot start. The probe is the smallest static
# i686 program there is, written here byte by byte (an ELF header, one loadable
# segment and exit(42)), so that no 32-bit compiler or library is needed to ask.
runs_32bit_programs() {
  local dir status=0
  dir=$(mktemp -d) || return 1
  printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000'`
        `'\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000'`
        `'\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000\000\000\000\000'`
        `'\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010'`
        `'\140\000\000\000\140\000\000\000\005\000\000\000\000\020\000\000'`
        `'\270\001\000\000\000\273\052\000\000\000\315\200' > "$dir/probe"
  chmod +x "$dir/probe"
  "$dir/probe" 2>/dev/null || status=$?
  rm -rf "$dir"
  [ "$status" -eq 42 ]
}

# usage SCRIPT: prints a script's opening comment (from its second line to the line
# before `set -`), which is its usage.
usage() {
  sed -n '2,/^set -/p' "$1" | sed -e '$d' -e 's/^# \{0,1\}//'
}

# run_step WHAT LOG COMMAND...: runs a long COMMAND with its output in LOG and says
# what it does; while it runs, every 30 s its latest output line, then its time.
# On failure the end of LOG follows. Returns COMMAND's status.
run_step() {
  local what=$1 log=$2 started=$SECONDS status=0
  shift 2
  echo "== $what (output: $log)"
  : >"$log"
  # With pipefail the pipeline's status is the command's: the reader never fails.
  "$@" </dev/null 2>&1 | {
    local line last=$SECONDS
    while IFS= read -r line; do
      printf '%s\n' "$line" >>"$log"
      if [ $((SECONDS - last)) -ge 30 ]; then
        last=$SECONDS
        printf '   %3d s: %s\n' $((SECONDS - started)) "${line:0:110}"
      fi
    done
  } || status=$?
  if [ "$status" -eq 0 ]; then
    echo "   done in $((SECONDS - started)) s"
  else
    echo "   FAILED after $((SECONDS - started)) s (status $status); the end of $log:"
    tail -n 40 "$log" | sed 's/^/   | /'
  fi
  return "$status"
}
