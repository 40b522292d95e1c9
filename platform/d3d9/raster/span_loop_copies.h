// On x86-64 the span loops are built twice, for AVX2 and for any x86-64, and the loader
// picks one: the three-operand AVX encodings spare them about a tenth of their time.
// Both run the same operations, so the pixels are the same. Tests build the loops' files
// once more per copy, with VESK_SPAN_LOOP_COPY 1 (AVX2) or 0 (any x86-64), to run each.
#pragma once

#if defined(VESK_SPAN_LOOP_COPY) && VESK_SPAN_LOOP_COPY
#define VESK_BUILD_FOR_AVX2 __attribute__((target("avx2")))
#elif defined(__x86_64__) && defined(__GNUC__) && !defined(VESK_SPAN_LOOP_COPY)
#define VESK_BUILD_FOR_AVX2 __attribute__((target_clones("avx2", "default")))
#else
#define VESK_BUILD_FOR_AVX2
#endif
