#!/usr/bin/env bash
# Makes the locale ja_JP.UTF-8 that the language test runs tarnik under:
# generated with localedef when it is missing (as root; Debian's package
# locales holds its source). A fresh machine lacks it.
set -euo pipefail
has_locale() { locale -a 2>/dev/null | grep -qiE '^ja_JP\.utf-?8$'; }
has_locale && exit 0
if [ "$(id -u)" -ne 0 ]; then
  echo "the locale ja_JP.UTF-8 is missing: generate it as root with 'localedef -i ja_JP -f UTF-8 ja_JP.UTF-8'" >&2
  exit 1
fi
localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
has_locale || { echo "localedef did not make ja_JP.UTF-8" >&2; exit 1; }
