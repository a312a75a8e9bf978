#include "form/form_entry_list.h"

#include <algorithm>
#include <cassert>

namespace tarvek {

std::string copy_string(std::string_view text) {
  return std::string(text);
}

void form_list_init(FormEntryList& list) {
  list.entries.clear();
}

FormEntry* form_list_insert(FormEntryList& list, const FormEntry* after, std::string_view name,
                            std::string_view value) {
  if (list.entries.empty()) {
    list.entries.push_back(FormEntry{copy_string(name), copy_string(value)});
    return &list.entries.back();
  }
  assert(after != nullptr);
  if (after == nullptr) return nullptr;
  // Readers always insert behind the entry stored last, so the search from the back stops at
  // once and filling the list stays linear in its length.
  const auto found = std::find_if(list.entries.rbegin(), list.entries.rend(),
                                  [after](const FormEntry& entry) { return &entry == after; });
  assert(found != list.entries.rend());
  if (found == list.entries.rend()) return nullptr;
  // found.base() is the position right behind the found entry.
  const auto inserted =
      list.entries.insert(found.base(), FormEntry{copy_string(name), copy_string(value)});
  return &*inserted;
}

const std::string* form_value(const FormEntryList& list, std::string_view name) {
  for (const FormEntry& entry : list.entries) {
    if (entry.name == name) return &entry.value;
  }
  return nullptr;
}

bool form_has(const FormEntryList& list, std::string_view name) {
  return form_value(list, name) != nullptr;
}

void form_list_free(FormEntryList& list) {
  list.entries.clear();
}

}  // namespace tarvek
