#!/usr/bin/env bash
# Every message the code of tarnik marks for translation has its Japanese in
# po/ja.po (a message added in English only would show up untranslated).
# Usage: catalog_complete.sh SOURCE_DIR
set -euo pipefail
source_dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$source_dir/cli"
xgettext --language=C++ --from-code=UTF-8 --keyword=Tr --keyword=TrFormat --keyword=N_ -o "$work/tarnik.pot" \
  ./*.cpp windows/*.cpp
msgcmp "$source_dir/po/ja.po" "$work/tarnik.pot"
