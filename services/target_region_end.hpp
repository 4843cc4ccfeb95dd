// Closes the region target_region_begin.hpp opened.
#ifndef AQSOL_TARGET_REGION
#error "target_region_end.hpp closes the region target_region_begin.hpp opened"
#endif
#undef AQSOL_TARGET_REGION
#define AQSOL_TARGET_REGION_CLOSED

#if AQSOL_LANES == 1
#elif defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
