// A whole exact routine: the unsigned routine of a form's inner target, wrapped in what the
// form needs around it (the bias of a signed input and the offset taken off its result, or
// the magnitude of the input and the sign put back on the result), then cleaned up and
// superoptimized (src/superopt) with the output bytes as its promise.
#ifndef TARVEK_EXACT_FORM_EMISSION_H
#define TARVEK_EXACT_FORM_EMISSION_H

#include <optional>

#include "exact/emission.h"
#include "exact/signed_form.h"
#include "superopt/superoptimizer.h"

namespace tarvek {

// What a routine of `code` for `spec` promises: its output bytes, bytes 0 to output_bytes - 1
// of the accumulator, on the names' core; and what it may take for granted: an unsigned
// input's bits above its width are zero.
RoutineContract routine_contract(const Code& code, const RoutineNames& names, int output_bytes,
                                 const ExactSpec& spec);

// The result's bytes: the input bytes, more when the result is wider.
int spec_output_bytes(const ExactSpec& spec);

// The routine of `form` around `inner`, the form's unsigned routine emitted with
// spec_output_bytes(spec) output bytes, superoptimized as `superopt` says.
// Requires: inner is a proven candidate's routine for form.inner; form_agrees(form, spec).
EmittedRoutine wrap_form(const Form& form, EmittedRoutine inner, const ExactSpec& spec,
                         const RoutineNames& names, const SuperoptEffort& superopt = {});

}  // namespace tarvek

#endif  // TARVEK_EXACT_FORM_EMISSION_H
