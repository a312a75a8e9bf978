// The body of the JSON answer: the request as the program understood it, and either the
// routine with the constant it multiplies by, its result register and its costs, or the
// numbered error that refused it.
//
//   {"request": {"Const": {"sent": "1", "value": 1}, "DivideBy": {"sent": "10", "value": 10},
//                "Result": {"sent": "floor", "value": "floor"},
//                "ConstErr": {"sent": "0", "value": null}, "Bits": {...},
//                "Signed": {"sent": null, "value": false}, "Acc": {...}, "Temp": {...},
//                "Ram": {"sent": "0x20", "value": 32},
//                "endian": {"sent": null, "value": "big"},
//                "Core": {"sent": null, "value": "midrange"},
//                "format": {"sent": "json", "value": "json"}},
//    "constant": {"value": 0.1, "fraction": "1/10"},
//    "routine": "; ACC = floor(ACC * 1/10)\n...",
//    "output": {"bytes": ["ACC0", "ACC1"], "bits": 13},
//    "instructions": 121, "cycles": 121}
//
// Every field the program reads appears under "request" with the text sent (null when the
// field was absent) and the value used: a number as read (DivideBy as the nearest double, 1
// when absent), the result mode, whether the input is signed (true or false in every mode, so
// that a signed approximation shows what refused it), a register name as sent, the cblock
// address (null for none), the byte order, the core and the format by name; null when the value
// cannot be read or, for ConstErr in the exact modes, is not used. "constant" is K = Const /
// DivideBy as the generator took it, with its exact fraction in the exact modes. A refused request
// has "error": {"code": N, "message": "..."} (the numbered message without its line break) in place
// of the constant, routine, output and counts. "routine" is the generated block exactly as the text
// answer and tarvek-asm print it; "output" is null when the block names no result register, the
// counts are null when the simulator cannot read the block (see routine_summary.h). The text ends
// in a line feed.
#ifndef TARVEK_PAGE_JSON_ANSWER_H
#define TARVEK_PAGE_JSON_ANSWER_H

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "form/form_entry_list.h"
#include "page/approximation_review.h"
#include "page/validation.h"

namespace tarvek {

// A refusal beyond its code: the numbered error and what its message leaves unsaid.
struct Refusal {
  int code = 0;
  // refusal_detail's sentence, or empty.
  std::string detail;
};

// What an answer says besides the routine or the one numbered error.
struct AnswerDetails {
  // Every reason the request was refused, in the order of the checks, the numbered error of
  // the answer last; empty for a routine.
  std::vector<Refusal> refusals;
  // The review of an approximating routine; none for an exact one or a refusal.
  std::optional<ApproximationReview> review;
};

// The answer for `fields`, read from `form` and checked into `checked`. `error_code` is the
// numbered error that refused the request (the checks' or the generator's), or 0; then
// `block` is the generated block, and otherwise it is not read. A refused answer's "error"
// gains the "detail" of the refusal with its code in `details`, when there is one, and is
// followed by "errors": [{"code": 2, "field": "Const", "message": "...", "detail": "..."},
// ...], one for each of `details.refusals`, or for the answer's error alone when there are
// none ("field" null for an error of no field, "detail" only where there is one). A routine
// with a review is followed by
//   "approximation": {"error": 37.5, "allowed_error": 50, "within_allowed_error": true,
//                     "floor": {"fraction": "1/10", "inputs": 11, "every_input": true,
//                               "exact": false,
//                               "difference": {"input": 10, "result": 0, "floor": 1},
//                               "floor_instructions": 18}}
// "floor" is null when K cannot be read exactly; "exact" is whether every compared input gave
// floor(x * K) (proven when "every_input" is true), "difference" the first that did not and
// "floor_instructions" the cost of the exact routine (null when it cannot be made), both
// only when "exact" is false.
std::string json_answer(const FormEntryList& form, const RequestFields& fields,
                        const ValidatedRequest& checked, int error_code, std::string_view block,
                        const AnswerDetails& details = {});

}  // namespace tarvek

#endif  // TARVEK_PAGE_JSON_ANSWER_H
