// One fuzz input through everything that reads card data: the index parser,
// the listing, the stream reader, the AVI conversion and both sensor blocks.
#pragma once

#include <cstddef>
#include <cstdint>

void fuzzCardStore(const uint8_t* data, size_t size);
