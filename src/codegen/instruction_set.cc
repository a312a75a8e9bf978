#include "codegen/instruction_set.h"

namespace tarvek {
namespace {

// Baseline, mid-range and enhanced mid-range: one family, each core running the instructions
// of the one before it and a few more.
class MidrangeFamily final : public InstructionSet {
 public:
  explicit MidrangeFamily(Core core) : core_(core) {}

  Core core() const override { return core_; }

  bool runs(Op op) const override {
    switch (op) {
      case Op::kAddwfc:
      case Op::kSubwfb:
      case Op::kLslf:
      case Op::kLsrf:
      case Op::kAsrf:
        return core_ == Core::kEnhanced;
      case Op::kAddlw:
      case Op::kSublw:
        return core_ != Core::kBaseline;
      case Op::kRlcf:
      case Op::kRrcf:
      case Op::kMulwf:
      case Op::kMullw:
      case Op::kBra:
        return false;
      default:
        return true;
    }
  }

  bool has_multiplier() const override { return false; }
  bool follows_midrange_flags() const override { return true; }
  Code written_out(const Code& code) const override { return code; }

 private:
  Core core_;
};

class Pic18 final : public InstructionSet {
 public:
  Core core() const override { return Core::kPic18; }

  bool runs(Op op) const override {
    switch (op) {
      case Op::kRlf:
      case Op::kRrf:
      case Op::kClrw:
      case Op::kLslf:
      case Op::kLsrf:
      case Op::kAsrf:
        return false;
      default:
        return true;
    }
  }

  bool has_multiplier() const override { return true; }
  bool follows_midrange_flags() const override { return false; }

  Code written_out(const Code& code) const override {
    Code out = code;
    for (Instruction& in : out.instructions()) {
      switch (in.op) {
        case Op::kRlf:
          in.op = Op::kRlcf;
          break;
        case Op::kRrf:
          in.op = Op::kRrcf;
          break;
        case Op::kClrw:
          // No clrw on PIC18; clearing W as a file sets Z just the same.
          in = Instruction{Op::kClrf, kWregFile, false, 0, 0};
          break;
        case Op::kGoto:
          // goto takes two program words there, bra one, in the same two cycles.
          in.op = Op::kBra;
          break;
        default:
          break;
      }
    }
    return out;
  }
};

}  // namespace

const InstructionSet& instruction_set(Core core) {
  // Immutable and stateless: one of each serves every request.
  static const MidrangeFamily midrange(Core::kMidrange);
  static const MidrangeFamily enhanced(Core::kEnhanced);
  static const MidrangeFamily baseline(Core::kBaseline);
  static const Pic18 pic18;
  switch (core) {
    case Core::kEnhanced:
      return enhanced;
    case Core::kBaseline:
      return baseline;
    case Core::kPic18:
      return pic18;
    case Core::kMidrange:
      break;
  }
  return midrange;
}

}  // namespace tarvek
