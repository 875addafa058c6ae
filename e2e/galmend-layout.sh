#!/usr/bin/env bash
# The window's controls stand where the layout table puts them, at the display's DPI.
# usage: galmend-layout.sh <exe bits> <prefix bits>
source "$(dirname "$0")/lib.sh"
# shellcheck source=shared-cases.sh
source "$E2E_DIR/shared-cases.sh"
begin galmend "$1" "$2" layout
reset_game

check_layout ""
check_layout 144
set_dpi ""

finish
