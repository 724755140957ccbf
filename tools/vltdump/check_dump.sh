#!/bin/sh
# check_dump.sh VLTDUMP FILE: the dump of the every-block-kind file shows the
# values of every block kind (header, tool blocks, curves, points, the stored
# position fields, each kind of image data), not just that the file was read.
set -u
out=$("$1" "$2") || { echo "vltdump failed on $2"; exit 1; }
status=0
while IFS= read -r expected; do
    case "$out" in
    *"$expected"*) ;;
    *) echo "missing from the dump: $expected"; status=1 ;;
    esac
done <<'VALUES'
"progName": "Veltrane"
"energy": 1486.6
"dutyCycle": 3
[1, 9, 3, 0]
"results": [4, 5, 6]
"label": "O 1s"
"values": [1000, 1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009, 1010]
"values": [2000, 2001, 2002, 2003]
"bk1": "inf"
[20, -5]
"peak": [0, 1, 2, 3, 4, 5]
"background2": [12, 13, 14, 15, 16, 17]
"background1": [4, 5, 6, 7]
"linescan": [0, 0.5, 1, 1.5, 2]
"image": [0, 1, 2, 3]
"secondaryElectrons": [0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11]
"dY": 0.25
"X": [-10, 20]
"Y": [5, -5]
VALUES
exit $status
