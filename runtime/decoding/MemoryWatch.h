#pragma once

// Whether an allocation failed in the decoder process, its libraries'
// included: a decode that ran out of the memory granted reads as a decoder
// error otherwise.
namespace rt::decoding {

// True when an allocation failed since the last call; clears it.
bool memoryRanOut();

}  // namespace rt::decoding
