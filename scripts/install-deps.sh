#!/usr/bin/env bash
# Installs what Karvath needs to build, test and run on Debian 12, and registers
# the FreeTDS ODBC driver under the name "SQL Server" when no driver has that name.
# Idempotent: apt runs only when a package is missing.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  unixodbc unixodbc-dev tdsodbc freetds-bin
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  xvfb xauth xdotool imagemagick fonts-wqy-microhei
  python3
)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# Register the FreeTDS driver as "SQL Server" unless that name is already taken
# (for instance by Microsoft's own ODBC driver for Linux).
if ! odbcinst -q -d -n "SQL Server" >/dev/null 2>&1; then
  driver=$(dpkg -L tdsodbc | grep '/libtdsodbc\.so$' | head -n1)
  tmpl=$(mktemp)
  printf '[SQL Server]\nDescription=FreeTDS ODBC driver registered for Karvath\nDriver=%s\nUsageCount=1\n' "$driver" >"$tmpl"
  $SUDO odbcinst -i -d -f "$tmpl" >/dev/null
  rm -f "$tmpl"
  echo "Registered the FreeTDS ODBC driver as \"SQL Server\""
fi
