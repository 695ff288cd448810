#!/usr/bin/env bash
# Prepares the Wine test prefix once, at build time, so no test pays the 15 s it takes.
# Without Wine or Xvfb it does nothing: the tests then say what is missing.
set -euo pipefail
source "$(dirname "$0")/wine-lib.sh"
for tool in wine wineserver wineboot Xvfb flock iconv; do
  command -v "$tool" >/dev/null 2>&1 || { vt_log "no $tool: the Wine test prefix is not prepared"; exit 0; }
done
vt_environment
vt_template_prefix >/dev/null
