#!/usr/bin/env bash
# Installs what is missing (with apt when root, else prints the apt line), then configures and builds.
# Usage: scripts/setup.sh [run|test|package]  -- run starts Tamrisk, test runs every test headless and
# checks the Debian package, package builds and checks the Debian package (tamrisk_<version>_amd64.deb).
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(build-essential cmake pkg-config qt6-base-dev libqt6sql6-sqlite libqt6svg6-dev qt6-translations-l10n
          libgl-dev libsqlite3-dev libqt6sql6-psql postgresql mdbtools-dev fonts-dejavu-core fonts-noto-core fonts-noto-mono poppler-utils python3
          adwaita-icon-theme lintian desktop-file-utils appstream libxml2-utils libtree-sitter-dev)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# npm only fetches the grammars: any working one will do, and Debian's conflicts with a Node.js
# installed from elsewhere, so it is asked for only when there is none.
command -v npm >/dev/null 2>&1 || missing+=(npm)
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" = 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
  else
    echo "Missing packages. Install them with:"
    echo "  sudo apt-get install ${missing[*]}"
    exit 1
  fi
fi

# The grammars the colouring is built from, as package-lock.json pins them. Nothing of them runs
# (.npmrc: ignore-scripts); CMake compiles their C sources. Installed again only when the lock
# file changed since.
if [ ! -f node_modules/.package-lock.json ] || [ package-lock.json -nt node_modules/.package-lock.json ]; then
  npm ci --ignore-scripts --no-audit --no-fund
fi

BUILD=${BUILD_DIR:-build}
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" -j"$(nproc)"

# The Debian package, from the build just made; prints its path.
build_package() {
  rm -f "$BUILD"/tamrisk_*.deb
  (cd "$BUILD" && cpack -G DEB >/dev/null)
  ls "$BUILD"/tamrisk_*_amd64.deb
}

# Package checks: every check of the package and the files it installs, so a packaging fault fails
# the test command. Each check fails the script on what a maintainer would be asked to fix.
package_checks() {
  local deb=$1 listing path
  listing=$(dpkg-deb -c "$deb")
  for path in usr/bin/tamrisk usr/bin/tamrisk-cli usr/libexec/tamrisk/tamrisk-jet-import \
              usr/share/applications/io.github.tamrisk.Tamrisk.desktop usr/share/icons/hicolor/scalable/apps/tamrisk.svg \
              usr/share/metainfo/io.github.tamrisk.Tamrisk.metainfo.xml usr/share/mime/packages/io.github.tamrisk.Tamrisk.xml \
              usr/share/man/man1/tamrisk.1.gz usr/share/man/man1/tamrisk-cli.1.gz \
              usr/share/doc/tamrisk/copyright usr/share/doc/tamrisk/changelog.gz; do
    grep -q " \./$path\$" <<<"$listing" || { echo "$deb lacks /$path" >&2; return 1; }
  done
  # The dependencies were read from the linked libraries (dpkg-shlibdeps), not only the listed ones.
  [[ $(dpkg-deb -f "$deb" Depends) == *libqt6core6* ]] || { echo "$deb: no dependencies found" >&2; return 1; }
  # The desktop files as software centres and file managers read them.
  desktop-file-validate src/app/io.github.tamrisk.Tamrisk.desktop
  appstreamcli validate --no-net src/app/io.github.tamrisk.Tamrisk.metainfo.xml >/dev/null
  xmllint --noout src/app/io.github.tamrisk.Tamrisk.mime.xml
  # Errors and warnings fail; the few justified exceptions are overrides shipped in the package.
  lintian --fail-on error,warning --tag-display-limit 0 "$deb"
}

case "${1:-}" in
  run)
    exec "$BUILD/src/app/tamrisk" "${@:2}"
    ;;
  test)
    (cd "$BUILD" && ctest --output-on-failure --timeout 600)
    deb=$(build_package)
    package_checks "$deb"
    ;;
  package)
    deb=$(build_package)
    package_checks "$deb"
    echo "$deb"
    ;;
esac
