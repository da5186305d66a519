#pragma once

// x264.h uses the fixed-width integer types without including their header.
#include <stdint.h>
#include <x264.h>
