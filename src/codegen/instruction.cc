#include "codegen/instruction.h"

namespace tarvek {
namespace {

struct OpInfo {
  const char* mnemonic;
  OperandKind operands;
  bool skips;
};

// In the order of Op.
constexpr OpInfo kOps[] = {
    {"movf", OperandKind::kFileDest, false},   {"swapf", OperandKind::kFileDest, false},
    {"comf", OperandKind::kFileDest, false},   {"rlf", OperandKind::kFileDest, false},
    {"rrf", OperandKind::kFileDest, false},    {"addwf", OperandKind::kFileDest, false},
    {"subwf", OperandKind::kFileDest, false},  {"andwf", OperandKind::kFileDest, false},
    {"iorwf", OperandKind::kFileDest, false},  {"xorwf", OperandKind::kFileDest, false},
    {"incf", OperandKind::kFileDest, false},   {"decf", OperandKind::kFileDest, false},
    {"incfsz", OperandKind::kFileDest, true},  {"decfsz", OperandKind::kFileDest, true},
    {"addwfc", OperandKind::kFileDest, false}, {"subwfb", OperandKind::kFileDest, false},
    {"lslf", OperandKind::kFileDest, false},   {"lsrf", OperandKind::kFileDest, false},
    {"asrf", OperandKind::kFileDest, false},   {"rlcf", OperandKind::kFileDest, false},
    {"rrcf", OperandKind::kFileDest, false},   {"movwf", OperandKind::kFile, false},
    {"clrf", OperandKind::kFile, false},       {"mulwf", OperandKind::kFile, false},
    {"bcf", OperandKind::kFileBit, false},     {"bsf", OperandKind::kFileBit, false},
    {"btfsc", OperandKind::kFileBit, true},    {"btfss", OperandKind::kFileBit, true},
    {"movlw", OperandKind::kLiteral, false},   {"andlw", OperandKind::kLiteral, false},
    {"iorlw", OperandKind::kLiteral, false},   {"xorlw", OperandKind::kLiteral, false},
    {"addlw", OperandKind::kLiteral, false},   {"sublw", OperandKind::kLiteral, false},
    {"mullw", OperandKind::kLiteral, false},   {"clrw", OperandKind::kNone, false},
    {"clrc", OperandKind::kNone, false},       {"setc", OperandKind::kNone, false},
    {"skpc", OperandKind::kNone, true},        {"skpnc", OperandKind::kNone, true},
    {"skpz", OperandKind::kNone, true},        {"skpnz", OperandKind::kNone, true},
    {"goto", OperandKind::kLabel, false},      {"", OperandKind::kLabel, false},
    {"bra", OperandKind::kLabel, false},
};
static_assert(sizeof(kOps) / sizeof(kOps[0]) == static_cast<int>(Op::kBra) + 1);

const OpInfo& info(Op op) {
  return kOps[static_cast<int>(op)];
}

}  // namespace

OperandKind operand_kind(Op op) {
  return info(op).operands;
}

const char* mnemonic(Op op) {
  return info(op).mnemonic;
}

bool is_skip(Op op) {
  return info(op).skips;
}

}  // namespace tarvek
