// Included first by the files that compute filter values and weights. The pixels on
// screen depend on every float rounding of that arithmetic, so it must not change with
// the target: on 32-bit x86 the x87 unit would keep intermediate results in extended
// precision, so these files use the SSE unit there; and no build may fuse a multiply
// and an add into one rounding.
#pragma once

#if defined(__GNUC__) && !defined(__clang__)
#if defined(__i386__) && !defined(__SSE2__)
#pragma GCC target("sse2", "fpmath=sse")
#endif
#pragma GCC optimize("fp-contract=off")
#elif defined(__clang__)
#pragma STDC FP_CONTRACT OFF
#endif
