#!/bin/sh
# Writes the seed corpus: valid note files and broken ones.
set -eu
cd "$(dirname "$0")/corpus"
magic='\006\013TKW-Pinnote'
header="$magic\002\001\001"
memo='\006\004Memo\006\000'
w() { printf "$2" > "$1"; }
w first_start       "$header$memo\000"
w worked_example    "$header\006\004Memo\006\010Buy milk\006\004Work\006\022Line one\r\nLine two\000"
w zero_pages        "$header\000"
w long_form_magic   "\014\013\000\000\000TKW-Pinnote\002\001\001$memo\000"
w version_16bit     "$magic\003\001\000\001$memo\000"
w version_32bit     "$magic\004\001\000\000\000\001$memo\000"
w trailing_bytes    "$header$memo\000junk\006\377"
w windows_1252      "$header\006\004Caf\351\006\002\351\200\000"
w long_text         "$header\006\001L\014\000\001\000\000$(printf '%0256d' 0)\000"
w wrong_case        "\006\013TKW-PINNOTE\002\001\001\000"
w version_2         "$magic\002\002\001\000"
w version_string    "$magic\006\0011\001\000"
w empty             ""
w no_list_end       "$header$memo"
w cut_name_text     "$header\006\004Memo"
w negative_length   "$header\014\376\377\377\377AAAA\000"
w huge_length       "$header\014\000\000\000\177\006\000\000"
w no_list_start     "$magic\002\001$memo\000"
