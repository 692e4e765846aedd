// Formatting Quenlo values with the {fmt} library: fmt::format("{}", value) prints what
// operator<< prints, and format specs apply to that text ("{:>8}"). Optional: include it only
// where {fmt} is available. The standard <format> is not provided by the compilers Quenlo
// supports (GCC 12, Clang 14 with libstdc++ 12).
#pragma once

#include <fmt/format.h>
#include <fmt/ostream.h>

#include "quenlo/tavrix.hpp"

template <>
struct fmt::formatter<quenlo::Variant> : fmt::ostream_formatter {};
template <>
struct fmt::formatter<quenlo::Tavrix> : fmt::ostream_formatter {};
template <>
struct fmt::formatter<quenlo::Tavrix::ItemRef> : fmt::ostream_formatter {};
