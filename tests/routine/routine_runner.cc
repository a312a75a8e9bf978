#include "routine_runner.h"

#include <cassert>
#include <sstream>

#include "codegen/generator.h"
#include "codegen/register.h"
#include "page/printed_check.h"
#include "page/validation.h"

namespace tarvek {
namespace {

// The request as the form would send it, checked by the program's own validation.
ValidatedRequest validated(const RoutineRequest& request, const std::string& acc_name = "ACC",
                           const std::string& temp_name = "TEMP") {
  RequestFields fields;
  fields.const_value = request.constant;
  fields.const_error = request.error;
  fields.input_bits = request.bits;
  fields.acc_name = acc_name;
  fields.temp_name = temp_name;
  fields.little_endian = request.little_endian;
  fields.core = request.core == Core::kEnhanced   ? "enhanced"
                : request.core == Core::kBaseline ? "baseline"
                : request.core == Core::kPic18    ? "pic18"
                                                  : "";
  return validate_request(fields);
}

}  // namespace

std::string describe(const RoutineRequest& request) {
  std::ostringstream text;
  text.precision(17);
  text << request.constant << " x " << request.bits << " bits, error " << request.error << " %, "
       << (request.little_endian ? "little" : "big") << "-endian";
  if (request.core == Core::kEnhanced) text << ", enhanced core";
  if (request.core == Core::kBaseline) text << ", baseline core";
  if (request.core == Core::kPic18) text << ", PIC18 core";
  return text.str();
}

int output_bits_of(const RoutineRequest& request) {
  return request.bits + static_cast<int>(const_integer_bits(request.constant));
}

bool is_valid(const RoutineRequest& request) {
  return validated(request).error_code == 0;
}

std::string generate_block(const RoutineRequest& request, const std::string& acc_name,
                           const std::string& temp_name) {
  const ValidatedRequest valid = validated(request, acc_name, temp_name);
  assert(valid.error_code == 0);
  Register acc(acc_name, valid.input_bits, request.little_endian);
  Register temp(temp_name, 0, request.little_endian);
  std::ostringstream out;
  generate_code(out, valid.request, acc, temp);
  return out.str();
}

RoutineUnderCheck under_check(const RoutineRequest& request, const std::string& block) {
  return RoutineUnderCheck{block,
                           "ACC",
                           "TEMP",
                           request.little_endian,
                           request.bits,
                           output_bits_of(request),
                           pic_core_of(request.core)};
}

CheckReport check_request(const RoutineRequest& request, const std::vector<uint64_t>& inputs,
                          uint64_t seed) {
  const std::string block = generate_block(request);
  return check_routine(under_check(request, block), inputs, seed);
}

bool read_cores(std::string_view value, std::vector<Core>& cores) {
  if (value == "midrange") {
    cores = {Core::kMidrange};
  } else if (value == "enhanced") {
    cores = {Core::kEnhanced};
  } else if (value == "baseline") {
    cores = {Core::kBaseline};
  } else if (value == "pic18") {
    cores = {Core::kPic18};
  } else if (value == "both") {
    cores = {Core::kMidrange, Core::kEnhanced};
  } else if (value == "all") {
    cores = {Core::kMidrange, Core::kEnhanced, Core::kBaseline, Core::kPic18};
  } else {
    return false;
  }
  return true;
}

}  // namespace tarvek
