#include "digits_sweep.h"

#include <sstream>

#include "codegen/register.h"
#include "form/form_entry_list.h"
#include "page/printed_check.h"
#include "page/routine_generation.h"
#include "page/validation.h"

namespace tarvek {

std::string describe(const DigitsSweepRequest& request) {
  return "base " + std::to_string(request.base) + " " + request.form + ", " +
         std::to_string(request.bits) + " bits, " + (request.little_endian ? "little" : "big") +
         "-endian" + core_suffix(request.core);
}

int expected_digit_count(int base, int bits) {
  uint64_t rest = (uint64_t{1} << bits) - 1;
  int count = 0;
  do {
    ++count;
    rest /= static_cast<uint64_t>(base);
  } while (rest != 0);
  return count;
}

std::string generate_digits_block(const DigitsSweepRequest& request, int& refusal,
                                  const std::string& acc_name, const std::string& temp_name) {
  FormEntryList form;
  form_list_init(form);
  const FormEntry* last = nullptr;
  const auto add = [&](const std::string& name, const std::string& value) {
    last = form_list_insert(form, last, name, value);
  };
  add("Result", "digits");
  add("DivideBy", std::to_string(request.base));
  if (request.form != "unpacked") add("DigitForm", request.form);
  add("Bits", std::to_string(request.bits));
  add("Acc", acc_name);
  add("Temp", temp_name);
  add("endian", request.little_endian ? "little" : "big");
  if (request.core == Core::kEnhanced) add("Core", "enhanced");
  if (request.core == Core::kBaseline) add("Core", "baseline");
  if (request.core == Core::kPic18) add("Core", "pic18");
  const RequestFields fields = read_request_fields(form);
  form_list_free(form);
  const ValidatedRequest checked = validate_request(fields);
  refusal = checked.error_code;
  if (refusal != 0) return "";
  Register acc(acc_name, checked.input_bits, request.little_endian);
  Register temp(temp_name, 0, request.little_endian);
  std::ostringstream out;
  refusal = generate_routine(out, checked.request, acc, temp);
  return out.str();
}

std::vector<std::string> forms_of_base(int base) {
  std::vector<std::string> forms{"unpacked"};
  if (base <= 10) forms.push_back("ascii");
  if (base == 10) forms.push_back("packed");
  return forms;
}

std::vector<DigitsSweepRequest> digits_requests(const std::vector<int>& bases,
                                                const std::vector<int>& widths, Core core) {
  std::vector<DigitsSweepRequest> requests;
  for (const int base : bases) {
    for (const int bits : widths) {
      for (const std::string& form : forms_of_base(base)) {
        for (const bool little : {false, true}) {
          requests.push_back(DigitsSweepRequest{base, bits, form, little, core});
        }
      }
    }
  }
  return requests;
}

namespace {

// Empty when the title line states the request's base and form and the Output line its count
// of digits.
std::string promise_fault(const DigitsSweepRequest& request, const RoutinePromise& promise) {
  const DigitStorage storage = request.form == "ascii"    ? DigitStorage::kAscii
                               : request.form == "packed" ? DigitStorage::kPacked
                                                          : DigitStorage::kUnpacked;
  if (!promise.digits || promise.digits->base != request.base ||
      promise.digits->storage != storage) {
    return "the title line does not state the requested digits";
  }
  if (promise.digit_count != expected_digit_count(request.base, request.bits)) {
    return "the Output line does not count the input's digits";
  }
  return "";
}

}  // namespace

ExactOutcome run_digits_sweep(const std::vector<DigitsSweepRequest>& requests, int exhaustive_bits,
                              int random_count, uint64_t seed) {
  ExactOutcome outcome;
  const auto fail = [&](const DigitsSweepRequest& request, const std::string& what) {
    ++outcome.failed;
    if (outcome.failures.size() < 10) outcome.failures.push_back(describe(request) + ": " + what);
  };
  for (const DigitsSweepRequest& request : requests) {
    ++outcome.requests;
    int refusal = 0;
    const std::string block = generate_digits_block(request, refusal);
    if (refusal != 0) {
      ++outcome.refused;
      ++outcome.refusals[refusal];
      fail(request, "refused with #" + std::to_string(refusal));
      continue;
    }
    const PicCore core = pic_core_of(request.core);
    const RoutineUnderCheck routine{block,        "ACC",
                                    "TEMP",       request.little_endian,
                                    request.bits, expected_digit_count(request.base, request.bits),
                                    core};
    const PrepareOutcome prepared = prepare_routine(routine);
    if (!prepared.routine) {
      fail(request, prepared.error);
      continue;
    }
    if (const std::string fault = promise_fault(request, prepared.routine->promise);
        !fault.empty()) {
      fail(request, fault);
      continue;
    }
    outcome.instructions += static_cast<long>(prepared.routine->program.instructions.size());
    std::string failure;
    if (request.bits <= exhaustive_bits) {
      // Every input, a slice at a time; run i starts from the arbitrary values of seed + i.
      const uint64_t top = (uint64_t{1} << request.bits) - 1;
      constexpr uint64_t kSlice = uint64_t{1} << 20;
      std::vector<uint64_t> inputs;
      for (uint64_t start = 0; start <= top && failure.empty(); start += kSlice) {
        inputs.clear();
        for (uint64_t x = start; x <= top && x - start < kSlice; ++x) inputs.push_back(x);
        const CheckReport report = check_prepared(*prepared.routine, inputs, seed + start);
        outcome.runs += report.inputs_checked;
        if (!report.passed) failure = report.failure;
      }
    } else {
      const std::vector<uint64_t> inputs =
          sample_inputs(request.bits, exhaustive_bits, random_count, seed + outcome.requests);
      const CheckReport report = check_prepared(*prepared.routine, inputs, seed);
      outcome.runs += report.inputs_checked;
      if (!report.passed) failure = report.failure;
    }
    if (!failure.empty()) fail(request, failure);
  }
  return outcome;
}

}  // namespace tarvek
