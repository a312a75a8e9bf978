// A routine as a generator finishes it, before any of it is printed as source: its comment
// block, the register bytes it declares and its instructions.
//
// Both generators (the approximation and the exact search) hand one over, so that a printer
// can write the same routine as an MPASM include file, a subroutine, a macro, a pic-as module
// or a relocatable gputils module without either generator knowing about packaging. The
// instructions name their registers by number (code.h); the declared names are the names the
// instructions print with, each once.
#ifndef TARVEK_CODEGEN_FINISHED_ROUTINE_H
#define TARVEK_CODEGEN_FINISHED_ROUTINE_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "codegen/code.h"

namespace tarvek {

struct FinishedRoutine {
  // Everything up to and including the Output line (and the line of the enhanced core after
  // it), without a line break after it.
  std::string comment;
  // The byte names the routine declares, in declaration order: the input and result
  // register's bytes first, then the temporary register's.
  std::vector<std::string> registers;
  // How many of `registers` belong to the input and result register: the bytes a caller
  // writes and reads.
  std::size_t result_registers = 0;
  Code code;
};

// The block every routine has always been: the comment, `opening` (generator.h's
// cblock_opening), one "\tNAME\n" line per register, "\tendc\n\n", the instructions as
// Code::text prints them and a closing "\n".
std::string inline_block(const FinishedRoutine& routine, std::string_view opening);

}  // namespace tarvek

#endif  // TARVEK_CODEGEN_FINISHED_ROUTINE_H
