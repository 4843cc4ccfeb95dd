// libfmt's Dragonbox (header only) as every part of the program uses it: with its whole table of
// cached powers, not the compressed one that recovers entries by products. Include this, never
// <fmt/format.h> directly, so that one definition holds throughout a program.
#pragma once

#define FMT_HEADER_ONLY
#define FMT_USE_FULL_CACHE_DRAGONBOX 1
#include <fmt/format.h>
