#include "codegen/finished_routine.h"

namespace tarvek {

std::string inline_block(const FinishedRoutine& routine, std::string_view opening) {
  std::string block = routine.comment;
  block += opening;
  for (const std::string& name : routine.registers) {
    block += '\t';
    block += name;
    block += '\n';
  }
  block += "\tendc\n\n";
  block += routine.code.text();
  block += '\n';
  return block;
}

}  // namespace tarvek
