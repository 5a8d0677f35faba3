#!/bin/bash
# SPDX-License-Identifier: ISC
# The built module is hardened: full RELRO with BIND_NOW, no text
# relocations, a non-executable stack, no way to start a process, and only
# the imports its operations need. A probe module built with the same flags
# shows stack protection and fortification in effect where they apply.
#
#   check_hardening.sh MODULE PROBE [IMPORTS]
# IMPORTS is a pattern of further imports the module may have (the UI's
# Xlib and cairo calls, say).
set -u
module=$1
probe=$2
more_imports=${3:-}
fail=0
complain() { echo "FAIL: $*"; fail=1; }

program_headers=$(readelf -lW "$module")
dynamic=$(readelf -dW "$module")

echo "$program_headers" | grep -q '^ *GNU_RELRO ' ||
  complain "no GNU_RELRO segment"
echo "$dynamic" | grep -Eq '\(FLAGS\).*BIND_NOW|\(FLAGS_1\).*NOW' ||
  complain "not linked with BIND_NOW (RELRO is only partial)"
echo "$dynamic" | grep -q 'TEXTREL' && complain "text relocations"
stack=$(echo "$program_headers" | grep '^ *GNU_STACK ')
if [ -z "$stack" ]; then
  complain "no GNU_STACK header: the loader would make the stack executable"
elif echo "$stack" | grep -q 'RWE'; then
  complain "executable stack: $stack"
fi

imports=$(nm -D --undefined-only "$module" | awk '{print $NF}' | sed 's/@.*//' | sort -u)
forbidden=$(echo "$imports" | grep -E '^(fork|vfork|clone3?|exec[a-z]*|fexecve|system|popen|posix_spawnp?|syscall|dlopen|pthread_create)$')
[ -z "$forbidden" ] || complain "imports that start processes or threads or make raw system calls:" $forbidden

# Allocation in instantiate and cleanup, pure maths in run; the rest is the
# toolchain's (transactional-memory and profiling hooks, the DSO destructor
# hook) or hardening's own.
expected='calloc|free|powf|log10f|sqrtf|__cxa_finalize|_ITM_(de)?registerTMCloneTable|__gmon_start__|__stack_chk_fail|__[a-z0-9_]+_chk'
unexpected=$(echo "$imports" | grep -vxE "$expected${more_imports:+|$more_imports}")
[ -z "$unexpected" ] || complain "unexpected imports:" $unexpected

unfortified=$(echo "$imports" | grep -xE 'mem(cpy|move|set)|st(r|p)n?cpy|strn?cat|v?s?n?printf|v?fprintf|gets|fgets|read|pread(64)?|recv(from)?|realpath|wc[a-z]*')
[ -z "$unfortified" ] || complain "fortifiable calls not fortified:" $unfortified

probe_imports=$(nm -D --undefined-only "$probe" | awk '{print $NF}' | sed 's/@.*//')
echo "$probe_imports" | grep -qx '__stack_chk_fail' ||
  complain "the plug-in's flags do not turn stack protection on"
echo "$probe_imports" | grep -qx '__memcpy_chk' ||
  complain "the plug-in's flags do not fortify library calls"

if [ $fail = 0 ]; then
  echo "ok: full RELRO + BIND_NOW, no TEXTREL, stack $(echo $stack | awk '{print $7}')," \
    "imports:" $imports "; stack protector and _FORTIFY_SOURCE active (probe)"
fi
exit $fail
