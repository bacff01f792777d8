# The release configuration: what scripts/run builds and starts, and what CI builds with warnings
# as errors. Sourced by both, so the two cannot drift apart.
# shellcheck shell=bash
# shellcheck disable=SC2034 # used by the scripts that source this
RELEASE_OPTIONS=(-G Ninja -DCMAKE_BUILD_TYPE=Release -DZIB_BUILD_TESTS=OFF)
