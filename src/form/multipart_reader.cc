#include "form/multipart_reader.h"

namespace tarvek {

// Placeholder until the multipart body reader is written: every multipart request reads as an
// empty form.
ReadOutcome read_multipart(FormEntryList& list, const RequestSource& source) {
  (void)source;
  form_list_init(list);
  return ReadOutcome{};
}

}  // namespace tarvek
