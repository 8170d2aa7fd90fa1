// One fuzz input through everything the viewer does with a recording's sensor
// data: the table build, every per-tick readout, the graph geometry, the speed
// digits and the resets. Aborts when an invariant of the readouts breaks.
//
// Input: 8 bytes duration (signed, little-endian), 2 bytes n, then n bytes of
// GPS block and the rest as G-sensor block (each read as zero-padded to
// 16 384 bytes, longer parts cut).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

void fuzzSensors(const uint8_t* data, size_t size);

// An input in that form (trailing zero bytes of each block left out).
std::vector<uint8_t> fuzzInput(int64_t durationMs, const std::vector<uint8_t>& gpsBlock,
                               const std::vector<uint8_t>& gsensorBlock);
