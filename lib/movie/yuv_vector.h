// The vector forms of the fixed-point YUV-to-RGB path, used by yuv.cpp. Each
// converts a run of 2 x 2 blocks of one pair of rows and gives exactly the
// pixels of the table-driven scalar loop.
#pragma once
#include <cstdint>

// One pair of picture rows: two luma rows, the chroma row they share and
// the two destination rows, each pointer at the run's first block.
struct YuvBlockRow {
  const uint8_t* Y0;
  const uint8_t* Y1;
  const uint8_t* U;
  const uint8_t* V;
  uint32_t* D0;
  uint32_t* D1;
};

// Convert whole steps of blocks (8 with SSE2, 16 with AVX2, 32 with
// AVX-512) from the start of the run, never reading or writing past `blocks`
// blocks, and return the number of blocks converted; the caller finishes the
// rest. The AVX2 and AVX-512 forms run only where the processor has them
// (AVX-512 with its byte and word instructions).
int ConvertYuvBlocksSse2(const YuvBlockRow& row, int blocks);
int ConvertYuvBlocksAvx2(const YuvBlockRow& row, int blocks);
int ConvertYuvBlocksAvx512(const YuvBlockRow& row, int blocks);
