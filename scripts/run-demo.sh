#!/usr/bin/env bash
# Installs what the build needs, builds the tool and starts its demo copy on the virtual cable
# (one FT232R cable with a virtual VEK-340 on its line).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default
cmake --build --preset default
exec ./build/demo/ZYLVEK_RDM
