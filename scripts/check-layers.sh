#!/usr/bin/env bash
# The layers' one rule that a compiler does not see: os/ is the bottom layer
# and includes nothing from the layers above it, and only os/ (with the unzip
# engine's own platform split) includes the Windows headers, so everything
# above the seam stays portable. Prints every offending include; ends with
# "N passed, M failed".
set -uo pipefail
cd "$(dirname "$0")/.."
above='app|engine|sys|zip|uninst|sfx|tools'
windows='windows|win[a-z0-9]*|ole[a-z0-9]*|obj[a-z]*|shellapi|shlobj|shlwapi|commctrl|commdlg'
failed=0
if grep -rnE "^\s*#\s*include\s*\"($above)/" os/; then
  echo "os/ includes a header from a layer above it"
  failed=1
fi
if grep -rniE "^\s*#\s*include\s*<($windows)\.h>" app engine sys zip uninst sfx tools; then
  echo "a layer above os/ includes a Windows header"
  failed=1
fi
[ "$failed" -eq 0 ] && echo "layers: ok"
echo "$((1 - failed)) passed, $failed failed"
