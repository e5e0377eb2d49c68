// A message as the trunk carries it: its bytes XOR-ed with the same message
// of the baseline update, and the fields that move predictably replaced by
// their difference to a prediction, so that what does not change is zero
// and what changes as expected is nearly zero, and compresses to little.
//
// Predictions use only what the receiver has when it restores the message:
// the baseline message, fields of this message restored before (velocity,
// date), and the message before it in the same group. Each step is exactly
// invertible on the bits, so the restored message equals the original byte
// for byte, whatever its values (NaNs, garbage) may be.
#pragma once

#include <cstdint>

namespace trunk {

// What the message before this one in its group told.
struct GroupContext {
    bool hasSeq = false;
    int32_t seq = 0;
    bool hasDate = false;
    double mjd = 0.0;
};

// `base` may be null (baseLength 0). Writes `length` bytes to `residual`.
void MakeResidual(const uint8_t* message, int length, const uint8_t* base, int baseLength, GroupContext& context,
                  uint8_t* residual);
// The inverse: writes `length` bytes to `message`.
void RestoreMessage(const uint8_t* residual, int length, const uint8_t* base, int baseLength, GroupContext& context,
                    uint8_t* message);

}  // namespace trunk
