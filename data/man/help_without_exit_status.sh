#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# What help2man reads of a program: its output for the option help2man asks for, without the
# "Exit status:" block of --help, which the manual page gives a section of its own.
# Usage: help_without_exit_status.sh PROGRAM OPTION...
"$@" | sed '/^Exit status:$/,/^$/d'
