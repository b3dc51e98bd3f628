#!/usr/bin/env bash
# Installs the Debian packages mlinsight builds, tests and runs with — only those
# that are missing, so a second run costs one dpkg query per package.
#   scripts/install-deps.sh          build and test dependencies
#   scripts/install-deps.sh --tools  also the timing tools
#   scripts/install-deps.sh --conformance  also the reference validators (make conformance)
set -euo pipefail

packages=(
  cmake ninja-build g++ make pkg-config
  libpugixml-dev nlohmann-json3-dev libfontconfig-dev libinih-dev
  libcli11-dev libutfcpp-dev w3c-sgml-lib
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  # real pages, XSL files and style sheets that the tests read in place
  docbook-xsl libjs-bootstrap4 libjs-underscore libxslt1-dev
  # the editors whose language-server clients the end-to-end tests drive
  neovim emacs-nox elpa-eglot
  # coverage-guided fuzzing: clang with libFuzzer
  clang libclang-rt-14-dev
)
if [[ "${1:-}" == "--tools" ]]; then
  packages+=(hyperfine)
fi
# make conformance: the reference validators and what they run on
if [[ "${1:-}" == "--conformance" ]]; then
  packages+=(opensp sgml-data libxml2-utils default-jre-headless npm)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo=""
if [[ $(id -u) -ne 0 ]]; then sudo="sudo"; fi
echo "installing: ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq >/dev/null
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
