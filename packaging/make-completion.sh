#!/usr/bin/env bash
# Writes the bash completion of pictrove-cli from what its --help says: the usage lines
# give the subcommands, their options and the kind of each option's value (a|b|c:
# those words; DIR: a folder; FILE: a file; anything else: no guess), the "Options:"
# lines the options of every subcommand.
# Usage: make-completion.sh PROGRAM OUTPUT
set -euo pipefail
program=$1
output=$2
help=$("$program" --help)
awk -v name="$(basename "$program")" '
function quote(s) { return "'"'"'" s "'"'"'" }
BEGIN { inUsage = 0 }
tolower($1) == "usage:" { inUsage = 1; sub(/^[^:]*:/, "") }
inUsage && NF == 0 { inUsage = 0 }
inUsage {
    for (i = 1; i <= NF && $i != name; i++) {}
    sub_ = $(i + 1)
    if (sub_ !~ /^[a-z][a-z-]*$/) next
    subs = subs " " sub_
    opts[sub_] = ""
    for (j = i + 2; j <= NF; j++) {
        t = $j; gsub(/[][]/, "", t)
        if (t !~ /^--?[A-Za-z]/) continue
        opts[sub_] = opts[sub_] " " t
        v = (j < NF) ? $(j + 1) : ""; gsub(/[][]/, "", v)
        if (v ~ /^-/ || v == "") continue
        if (v ~ /\|/) { gsub(/\|/, " ", v); values[sub_ " " t] = "-W " quote(v) }
        else if (v == "DIR") values[sub_ " " t] = "-d"
        else if (v ~ /^FILE/) values[sub_ " " t] = "-f"
        else values[sub_ " " t] = ""
        j++
    }
    next
}
/^Options:/ { inOptions = 1; next }
inOptions && /^ +-/ {
    line = $0; sub(/^ +/, "", line); sub(/  .*/, "", line); split(line, w, /[ ,]+/)
    for (k in w) if (w[k] ~ /^-/) common = common " " w[k]
}
END {
    print "# bash completion for " name ", made from its --help by make-completion.sh."
    fn = "_" name; gsub(/-/, "_", fn)
    print fn "() {"
    print "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}"
    print "    COMPREPLY=()"
    print "    if [[ $COMP_CWORD -eq 1 ]]; then"
    print "        mapfile -t COMPREPLY < <(compgen -W " quote(substr(subs common, 2)) " -- \"$cur\")"
    print "        return"
    print "    fi"
    print "    case \"${COMP_WORDS[1]} $prev\" in"
    for (key in values) {
        if (values[key] == "") print "        " quote(key) ") return ;;"
        else print "        " quote(key) ") mapfile -t COMPREPLY < <(compgen " values[key] " -- \"$cur\"); return ;;"
    }
    print "    esac"
    print "    if [[ $cur == -* ]]; then"
    print "        case ${COMP_WORDS[1]} in"
    for (s in opts) print "            " s ") mapfile -t COMPREPLY < <(compgen -W " quote(substr(opts[s] " --", 2)) " -- \"$cur\") ;;"
    print "        esac"
    print "        return"
    print "    fi"
    print "    mapfile -t COMPREPLY < <(compgen -f -- \"$cur\")"
    print "}"
    print "complete -o filenames -F " fn " " name
}' <<<"$help" >"$output.tmp"
mv "$output.tmp" "$output"
