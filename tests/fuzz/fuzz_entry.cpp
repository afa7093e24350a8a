// libFuzzer's entry points for the one target this executable is built for
// (PLEXIVAR_FUZZ_TARGET, a name from fuzz_targets.cpp).
#include <cstddef>
#include <cstdint>

#include "tests/fuzz/fuzz_targets.h"

namespace {
const plexivar::fuzz::FuzzTarget* g_target = nullptr;
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_target = plexivar::fuzz::FindFuzzTarget(PLEXIVAR_FUZZ_TARGET);
    plexivar::fuzz::Require(g_target != nullptr, "the fuzz target exists", PLEXIVAR_FUZZ_TARGET);
    plexivar::fuzz::PrepareFuzzing();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    g_target->run(data, size);
    return 0;
}
