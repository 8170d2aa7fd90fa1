// libFuzzer entry point (built with clang: -fsanitize=fuzzer).
#include "sensors_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzSensors(data, size);
    return 0;
}
