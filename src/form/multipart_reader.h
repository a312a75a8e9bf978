// Reader of request bodies sent as multipart/form-data: ordinary fields become form entries,
// uploaded files are written into the source's upload directory with an entry holding the
// file name.
//
// The body is split at every line that contains the boundary text and is read in pieces of at
// most kMultipartPiece characters, so a line of any length costs no more than one piece of
// memory beyond the value it belongs to. Guarantees, whatever the body holds:
// - no upload is written anywhere but directly inside `upload_dir`: a file name is reduced to
//   its last component, and a name that is empty or begins with a dot is not written at all;
// - an upload never follows a symbolic link, never blocks on a named pipe, and is created
//   with mode 0600;
// - at most kMaxBodyBytes characters are read; a longer body stops the request and removes
//   the upload it was writing;
// - every field read before a malformed or truncated spot stays in the list.
#ifndef TARVEK_FORM_MULTIPART_READER_H
#define TARVEK_FORM_MULTIPART_READER_H

#include <cstddef>
#include <istream>
#include <string>

#include "form/form_entry_list.h"
#include "form/request_source.h"

namespace tarvek {

// Longest piece of a body line handled at a time.
inline constexpr std::size_t kMultipartPiece = 512;

// Empties `list`, reads `source.in` up to the closing boundary line (or its end) and stores
// the fields in arrival order. Reads CONTENT_TYPE (the boundary), CONTENT_LENGTH (nothing is
// read when it is unset; its value is not used) and HTTP_USER_AGENT through `source.env`.
// Returns the number of entries stored, or a stop when the body exceeds kMaxBodyBytes.
ReadOutcome read_multipart(FormEntryList& list, const RequestSource& source);

// Replaces `piece` with the characters of `in` up to and including the next line feed, at
// most `size` of them, fewer when the input ends first. Returns how many were stored; 0 only
// when the input ended before any character.
// Requires: size > 0.
std::size_t read_body_line(std::istream& in, std::string& piece, std::size_t size);

// Turns the letters A to Z of `text` into lower case in place (no other byte changes) and
// returns `text`.
std::string& lowercase_text(std::string& text);

}  // namespace tarvek

#endif  // TARVEK_FORM_MULTIPART_READER_H
