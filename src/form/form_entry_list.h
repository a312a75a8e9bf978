// The decoded form of one request: the fields as name/value pairs in the order in which they
// arrived.
//
// The list owns its entries and every entry owns copies of its two texts, so a reader may
// drop its own buffers right after an insertion. Lookup is by exact, case-sensitive name and
// always returns the first entry of that name, counted from the head; a later field of the
// same name never shadows an earlier one.
#ifndef TARVEK_FORM_FORM_ENTRY_LIST_H
#define TARVEK_FORM_FORM_ENTRY_LIST_H

#include <list>
#include <string>
#include <string_view>

namespace tarvek {

// One form field.
struct FormEntry {
  // The field name, already decoded; may be empty.
  std::string name;
  // The field value, already decoded; may be empty, never absent.
  std::string value;
};

struct FormEntryList {
  // The entries from the first to arrive to the last; a std::list so that the entry handles
  // given out by form_list_insert stay valid while later entries are linked in.
  std::list<FormEntry> entries;
};

// An owned copy of `text`. Running out of memory raises std::bad_alloc, which the program's
// entry point turns into exit status 1.
std::string copy_string(std::string_view text);

// Makes the list empty.
void form_list_init(FormEntryList& list);

// Stores copies of `name` and `value` in a new entry right behind `after` and returns the new
// entry; pass it as `after` of the next insertion to keep arrival order. Into an empty list
// the entry becomes the only one and `after` is not consulted.
// Requires: `after` is an entry of this list whenever the list is not empty.
// A refused insertion (no `after` into a non-empty list) stores nothing and returns nullptr;
// the caller then ends the run with exit status 1 and no message.
FormEntry* form_list_insert(FormEntryList& list, const FormEntry* after, std::string_view name,
                            std::string_view value);

// The value of the first entry whose name equals `name` byte for byte, or nullptr. The text
// belongs to the list.
const std::string* form_value(const FormEntryList& list, std::string_view name);

// Whether form_value finds an entry.
bool form_has(const FormEntryList& list, std::string_view name);

// Releases every entry; the list is empty afterwards.
void form_list_free(FormEntryList& list);

}  // namespace tarvek

#endif  // TARVEK_FORM_FORM_ENTRY_LIST_H
