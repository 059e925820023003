#!/usr/bin/env bash
# Installs a build tree into a temporary DESTDIR the way a packager would and
# checks what lands there: the exact file list, the menu entry and AppStream
# data (with their own validators), the icons, the help page where the window
# looks for it, the manual page against --help, the installed verandol-cli on
# a fixture volume, and the .deb made of the same tree.
#   test-install.sh BUILD_DIR FIXTURE_IMAGE FIXTURE_MANIFEST WITH_GUI(0|1)
set -euo pipefail

build=$1 image=$2 manifest=$3 with_gui=$4
app_id=org.verandol.verandol
work=$(mktemp -d "${TMPDIR:-/tmp}/verandol-install.XXXXXX")
trap 'rm -rf "$work"' EXIT
root=$work/root
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

DESTDIR=$root cmake --install "$build" --prefix /usr >"$work/install.log"

# Exactly these files: nothing missing, and no test program or library
# slipping into what users get.
expected=(usr/bin/verandol-cli usr/share/man/man1/verandol-cli.1)
png_sizes=(16 22 24 32 48 64 128 256)
if [ "$with_gui" = 1 ]; then
  expected+=(usr/bin/verandol
             "usr/share/applications/$app_id.desktop"
             "usr/share/metainfo/$app_id.metainfo.xml"
             "usr/share/icons/hicolor/scalable/apps/$app_id.svg"
             usr/share/verandol/help.html)
  for size in "${png_sizes[@]}"; do expected+=("usr/share/icons/hicolor/${size}x$size/apps/$app_id.png"); done
fi
printf '%s\n' "${expected[@]}" | sort >"$work/expected"
(cd "$root" && find . -type f -o -type l | sed 's|^\./||' | sort) >"$work/installed"
diff -u "$work/expected" "$work/installed" || fail "installed files differ from the expected list"

cli=$root/usr/bin/verandol-cli
[ -x "$cli" ] || fail "verandol-cli is not executable"

# --- the installed command line tool, on a real volume
"$cli" --help >"$work/help.txt" || fail "installed verandol-cli --help failed"
"$cli" scan "$image" >"$work/scan.tsv" || fail "installed verandol-cli could not scan $image"
deleted=$(sed -n 's/^# Deleted Files: //p' "$work/scan.tsv")
mkdir "$work/out"
status=0
"$cli" recover "$image" "$work/out" >"$work/recover.tsv" || status=$?
[ "$status" = 0 ] || fail "installed verandol-cli recover exited $status"
written=0
while IFS=$'\t' read -r what _ path _; do
  [ "$what" = written ] || continue
  written=$((written + 1))
  sum=$(sha256sum "$path" | cut -d' ' -f1)
  grep -q "\"sha256\": \"$sum\"" "$manifest" || fail "recovered $path does not match the volume's truth"
done <"$work/recover.tsv"
[ "${deleted:-0}" -gt 0 ] && [ "$written" = "$deleted" ] ||
  fail "recovered $written files of ${deleted:-no} listed"

# --- the manual page says what --help says
man_page=$root/usr/share/man/man1/verandol-cli.1
plain_man=$(sed 's/\\-/-/g' "$man_page")
for option in $(grep -oE -- '--[a-z][a-z-]*' "$work/help.txt" | sort -u); do
  grep -qF -- "$option" <<<"$plain_man" || fail "the manual page does not document $option"
done
for command in $(sed -n 's/^  verandol-cli \([a-z][a-z-]*\).*/\1/p' "$work/help.txt" | sort -u); do
  grep -qE "^\.SS $command( |$)" "$man_page" || fail "the manual page has no section for the $command command"
done
man_statuses=$(sed -n '/^\.SH EXIT STATUS/,/^\.SH /s/^\.B \([0-9]*\)$/\1/p' "$man_page")
for status_code in $(sed -n '/^Exit status:/,$s/^  \([0-9][0-9]*\) .*/\1/p' "$work/help.txt"); do
  grep -qx "$status_code" <<<"$man_statuses" || fail "the manual page does not list exit status $status_code"
done
if command -v groff >/dev/null; then
  warnings=$(groff -man -Tutf8 -ww -z "$man_page" 2>&1)
  [ -z "$warnings" ] || fail "groff warns about the manual page: $warnings"
fi

# --- the window's files
if [ "$with_gui" = 1 ]; then
  desktop=$root/usr/share/applications/$app_id.desktop
  desktop-file-validate "$desktop" || fail "desktop-file-validate rejects $app_id.desktop"
  appstreamcli validate --no-net "$root/usr/share/metainfo/$app_id.metainfo.xml" ||
    fail "appstreamcli rejects the metainfo"
  exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
  [ -x "$root/usr/bin/$exec_name" ] || fail "the menu entry starts $exec_name, which is not installed"
  [ "$(sed -n 's/^Icon=//p' "$desktop")" = "$app_id" ] || fail "the menu entry names another icon"
  grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" \
    "$root/usr/share/metainfo/$app_id.metainfo.xml" || fail "the metainfo launches another menu entry"

  for size in "${png_sizes[@]}"; do
    png=$root/usr/share/icons/hicolor/${size}x$size/apps/$app_id.png
    # Width and height are the big-endian words at bytes 16 and 20.
    read -r -a ihdr < <(od -An -tu1 -j16 -N8 "$png")
    width=$(((ihdr[2] << 8) | ihdr[3])) height=$(((ihdr[6] << 8) | ihdr[7]))
    [ "$width" = "$size" ] && [ "$height" = "$size" ] || fail "the ${size}x$size icon is ${width}x$height"
  done

  # The window looks its help page up relative to its own folder: that path,
  # compiled in as UTF-16, must lead to the installed page.
  relative=$(strings -el "$root/usr/bin/verandol" | grep -E '^[^/].*help\.html$' | head -n1)
  [ -n "$relative" ] && [ -f "$root/usr/bin/$relative" ] ||
    fail "the window looks for its help page at '${relative:-nothing}', which is not installed"
fi

# --- the .deb holds the same tree and names the libraries it needs
if command -v dpkg-shlibdeps >/dev/null; then
  cpack --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" ||
    { cat "$work/cpack.log" >&2; fail "cpack could not build the package"; }
  deb=$(find "$work/package" -maxdepth 1 -name 'verandol_*.deb' | head -n1)
  if [ -n "$deb" ]; then
    dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $NF}' | sed 's|^\./||' | sort >"$work/packaged"
    diff -u "$work/expected" "$work/packaged" || fail "the package holds other files than the install"
    depends=$(dpkg-deb -f "$deb" Depends)
    # One package name a line, versions dropped.
    depends_names=$(tr ',' '\n' <<<"$depends" | sed 's/^ *//; s/[ (].*//')
    needed=(libc6 libstdc++6)
    [ "$with_gui" = 1 ] && needed+=(libqt6core6 libqt6gui6 libqt6widgets6 libqt6svg6)
    for library in "${needed[@]}"; do
      grep -qxF "$library" <<<"$depends_names" || fail "the package does not depend on $library: $depends"
    done
  else
    fail "cpack made no verandol_*.deb"
  fi
fi

if [ "$failures" -gt 0 ]; then
  echo "$failures install check(s) failed" >&2
  exit 1
fi
echo "install checks passed"
