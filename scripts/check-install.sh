#!/usr/bin/env bash
# Installs a build into a temporary prefix and packages it, then checks what a user
# would get: the installed programs run from there, the desktop entry and the AppStream
# metainfo validate, the man pages render without warnings, the bash completion knows
# the subcommands, and the .deb holds the files and dependencies it should (it is
# unpacked into a temporary folder, never installed).
# Usage: scripts/check-install.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
id=io.github.pictrove.Pictrove
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null

"$prefix/bin/pictrove-cli" --version
"$prefix/bin/pictrove" --version
desktop-file-validate "$prefix/share/applications/$id.desktop"
appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml"
echo
for page in pictrove pictrove-cli; do
    warnings=$(MANWIDTH=80 man --warnings -l "$prefix/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
    if [ -n "$warnings" ]; then
        echo "$page.1: $warnings" >&2
        exit 1
    fi
done
subcommands=$(bash -c 'source "$1"; COMP_WORDS=(pictrove-cli ""); COMP_CWORD=1
    _pictrove_cli; echo "${COMPREPLY[*]}"' _ "$prefix/share/bash-completion/completions/pictrove-cli")
for sub in list save; do
    case " $subcommands " in
    *" $sub "*) ;;
    *) echo "the bash completion offers '$subcommands', no $sub" >&2; exit 1 ;;
    esac
done
for file in share/pictrove/HAND-M.CUR share/icons/hicolor/scalable/apps/$id.svg \
    share/icons/hicolor/{32x32,48x48,128x128,256x256}/apps/$id.png \
    share/mime/packages/$id.xml share/doc/pictrove/copyright; do
    test -f "$prefix/$file" || { echo "not installed: $file" >&2; exit 1; }
done

deb=$(scripts/package.sh "$build")
dpkg-deb -I "$deb"
dpkg-deb -c "$deb"
depends=$(dpkg-deb -f "$deb" Depends)
case "$depends" in
*libqt6widgets6*) ;;
*) echo "Depends without Qt: $depends" >&2; exit 1 ;;
esac
dpkg-deb -x "$deb" "$work/root"
"$work/root/usr/bin/pictrove-cli" --version
echo "installation and package checked: $deb"
