// Reader of request bodies sent as multipart/form-data: ordinary fields become form entries,
// uploaded files are written into the source's upload directory with an entry holding the
// file name.
#ifndef TARVEK_FORM_MULTIPART_READER_H
#define TARVEK_FORM_MULTIPART_READER_H

#include "form/form_entry_list.h"
#include "form/request_source.h"

namespace tarvek {

// Empties `list`, reads `source.in` to its end and stores the fields in arrival order. Reads
// CONTENT_TYPE (the boundary), CONTENT_LENGTH (nothing is read when it is unset) and
// HTTP_USER_AGENT through `source.env`. Returns the number of entries stored, or a stop.
ReadOutcome read_multipart(FormEntryList& list, const RequestSource& source);

}  // namespace tarvek

#endif  // TARVEK_FORM_MULTIPART_READER_H
