// Code compiled once per instruction-set level (the slice decoding, which the
// x86-64 build also compiles with AVX2, BMI2 and LZCNT) lives in a namespace
// named after the level. The copies of its classes, inline functions and
// templates then never share a symbol, so none of one level's code can stand
// in for another's. The build defines ISTREL_LEVEL for the higher levels;
// everything else, and every caller, sees the baseline through the inline
// namespace.
#pragma once

#ifndef ISTREL_LEVEL
#define ISTREL_LEVEL baseline
#endif

#define ISTREL_LEVEL_BEGIN inline namespace ISTREL_LEVEL {
#define ISTREL_LEVEL_END }
