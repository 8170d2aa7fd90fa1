// libFuzzer entry point (built with clang: -fsanitize=fuzzer).
#include "store_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzCardStore(data, size);
    return 0;
}
