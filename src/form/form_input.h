// The form input subsystem as the page sees it: the form entry list and the request reader
// that fills it from one CGI request.
#ifndef TARVEK_FORM_FORM_INPUT_H
#define TARVEK_FORM_FORM_INPUT_H

#include "form/form_entry_list.h"
#include "form/request_reader.h"
#include "form/request_source.h"

#endif  // TARVEK_FORM_FORM_INPUT_H
