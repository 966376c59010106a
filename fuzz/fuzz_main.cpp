// The libFuzzer entry of one fuzz target; TESSARY_FUZZ_CHECK names its check (fuzz_checks.h).
#include "fuzz/fuzz_checks.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string disagreement = TESSARY_FUZZ_CHECK(data, size);
    if (!disagreement.empty()) {
        std::fprintf(stderr, "%s\n", disagreement.c_str());
        std::abort(); // libFuzzer keeps the input that got here as a crash artifact
    }
    return 0;
}
