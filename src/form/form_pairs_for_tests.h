// Test-only view of a form entry list as plain (name, value) pairs in arrival order, so a
// test can compare a whole list with one expected value.
#ifndef TARVEK_FORM_FORM_PAIRS_FOR_TESTS_H
#define TARVEK_FORM_FORM_PAIRS_FOR_TESTS_H

#include <string>
#include <utility>
#include <vector>

#include "form/form_entry_list.h"

namespace tarvek {

using Pairs = std::vector<std::pair<std::string, std::string>>;

inline Pairs pairs_of(const FormEntryList& list) {
  Pairs pairs;
  for (const FormEntry& entry : list.entries) pairs.emplace_back(entry.name, entry.value);
  return pairs;
}

}  // namespace tarvek

#endif  // TARVEK_FORM_FORM_PAIRS_FOR_TESTS_H
