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

# Fetches and unpacks Debian's zlib source package once; later calls only check.
# The newest version comes first (security updates included); when a mirror lacks
# it, the next one the archive lists is tried.
fetch_zlib_source() {
  local versions have work v unpacked
  have=$(cat "$zlib_source_dir/.debian-version" 2>/dev/null || true)
  mkdir -p "$zlib_source_root"
  touch "$zlib_source_root/unavailable"
  # Versions that this machine's mirror failed to serve are not asked for again.
  versions=$(apt-cache showsrc zlib 2>/dev/null | awk '/^Version:/ { print $2 }' | sort -Vr | uniq |
    grep -vxF -f "$zlib_source_root/unavailable" || true)
  if [ -n "$have" ] && { [ -z "$versions" ] || [ "$have" = "$(echo "$versions" | head -n 1)" ]; }; then
    return 0
  fi
  mkdir -p "$zlib_source_root"
  work=$(mktemp -d "$zlib_source_root/fetch.XXXXXX")
  chmod 755 "$work"
  for v in $versions; do
    [ -n "$have" ] && [ "$have" = "$v" ] && break   # what we have is the best that is served
    if (cd "$work" && apt-get source -qq "zlib=$v" >/dev/null 2>"$work/err"); then
      unpacked=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'zlib-*' | head -n 1)
      if [ -f "$unpacked/contrib/minizip/unzip.c" ]; then
        echo "$v" > "$unpacked/.debian-version"
        rm -rf "$zlib_source_dir"
        mv "$unpacked" "$zlib_source_dir"
        rm -rf "$work"
        return 0
      fi
    fi
    echo "bootstrap: zlib $v not available here, trying an older version" >&2
    echo "$v" >> "$zlib_source_root/unavailable"
    find "$work" -mindepth 1 -delete
  done
  rm -rf "$work"
  if [ -n "$have" ]; then return 0; fi
  echo "bootstrap: could not fetch Debian's zlib source package" >&2
  return 1
}
