// libfmt's Dragonbox (header only) as every part of the program uses it: with its whole table of
// cached powers, not the compressed one that recovers entries by products. Include this, never
// <fmt/format.h> directly, so that one definition holds throughout a program.
#pragma once

#define FMT_HEADER_ONLY
#define FMT_USE_FULL_CACHE_DRAGONBOX 1
#include <fmt/format.h>

// fmt::detail::dragonbox::to_decimal is an internal of fmt: the versions it was checked with
// (Debian 12's 9.1; the tests compare every digit string with std::to_chars) are the ones taken.
static_assert(FMT_VERSION >= 90000 && FMT_VERSION < 100000,
              "aqsol uses fmt's internal Dragonbox as fmt 9 has it: build with fmt 9.x "
              "(Debian 12: apt install libfmt-dev)");
