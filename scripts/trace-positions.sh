# shellcheck shell=bash
# Music positions at which two builds' demo-trace output is compared, byte
# for byte (sourced by wine-tests.sh and trace-compare.sh): the start, every
# scene's first and last byte and 4 bytes either side (the scenes begin at
# 6648556, 9977248, 13303876 and 16631032), a few inside each scene, the end
# of the music and past it, and positions that the 32-bit clock sees as
# negative.
# shellcheck disable=SC2034  # used by the scripts that source this file
trace_positions=(
    0 4 1000000 1812960 3000000 5000000 6648552 6648556 6648560
    8000000 8464680 9977244 9977248 9977252 11500000 13303872 13303876
    13303880 15000000 16631028 16631032 16631036 17500000 18800000 19756812
    19800000 4294967292 -4 -2147483648
)
