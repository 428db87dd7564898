#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The manual page's FIELDS section, for help2man's --include, from what `PROGRAM --help fields`
# prints (its usage line left out), kept as it is laid out.
# Usage: fields_section.sh PROGRAM OUTPUT
set -eu
{
    printf '[FIELDS]\n.nf\n'
    "$1" --help fields | sed -e '1d' -e 's/\\/\\e/g' -e 's/-/\\-/g' -e "s/^\\([.']\\)/\\\\\\&\\1/"
    printf '.fi\n'
} > "$2"
