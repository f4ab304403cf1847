#!/usr/bin/env bash
# Runs a program for help2man, which finds the synopsis after "Usage:" and its further
# forms after "or:".
set -euo pipefail
"$@" | awk 'NR == 1 { sub(/^usage:/, "Usage:"); first = 1 }
            NF == 0 { first = 0 }
            first && NR > 1 { sub(/^ +/, "  or:  ") }
            { print }'
