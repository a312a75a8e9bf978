// The packagings of routines that the merge of loops (Optimize=size) and of the baseline core
// with the packaging of routines brought together: labels in every wrap and syntax, and one
// RAM count per routine whatever the core.
#include <gtest/gtest.h>

#include <cstddef>
#include <sstream>
#include <string>
#include <string_view>

#include "codegen/register.h"
#include "form/urlencoded.h"
#include "page/routine_generation.h"
#include "page/validation.h"

namespace tarvek {
namespace {

struct Generated {
  int code = -1;
  std::string text;
};

Generated generate_query(const std::string& query) {
  FormEntryList form;
  parse_urlencoded(form, query);
  const RequestFields fields = read_request_fields(form);
  const ValidatedRequest valid = validate_request(fields);
  EXPECT_EQ(valid.error_code, 0) << query;
  if (valid.error_code != 0) return {};
  Register acc(fields.acc_name, valid.input_bits, fields.little_endian);
  Register temp(fields.temp_name, 0, fields.little_endian);
  std::ostringstream out;
  Generated generated;
  generated.code = generate_routine(out, valid.request, acc, temp);
  generated.text = out.str();
  return generated;
}

std::size_t count(std::string_view text, std::string_view part) {
  std::size_t found = 0;
  for (std::size_t at = text.find(part); at != std::string_view::npos;
       at = text.find(part, at + 1)) {
    ++found;
  }
  return found;
}

// A division by 10 written for size is a loop with one label. Every packaging prints it and
// passes the check before printing, which reads the packaged text back; pic-as writes the label
// with its colon, and a macro makes it its own so that every use has one.
TEST(PackagedLoopsTest, EveryPackagingOfALoopIsPrintedAndChecked) {
  const std::string loop =
      "Const=1&DivideBy=10&Result=floor&Bits=16&Acc=ACC&Temp=TEMP&Optimize=size&format=text";
  struct Case {
    const char* packaging;
    const char* label_line;
    const char* local_line;
  };
  const Case cases[] = {
      {"&Wrap=subroutine", "\nacc_div10_f16_div\n", nullptr},
      {"&Wrap=macro", "\nacc_div10_f16_div\n", "\tlocal\tacc_div10_f16_div\n"},
      {"&Syntax=gpasm-reloc", "\nacc_div10_f16_div\n", nullptr},
      {"&Syntax=gpasm-reloc&Wrap=macro", "\nacc_div10_f16_div\n", "\tlocal\tacc_div10_f16_div\n"},
      {"&Syntax=pic-as", "\nacc_div10_f16_div:\n", nullptr},
      {"&Syntax=pic-as&Wrap=subroutine", "\nacc_div10_f16_div:\n", nullptr},
      {"&Syntax=pic-as&Wrap=macro", "\nacc_div10_f16_div:\n", "\tLOCAL\tacc_div10_f16_div\n"},
      // A label that starts as a C name does: still the routine's own, not a declaration's.
      {"&Syntax=pic-as&Wrap=subroutine&Label=_d", "\n_ddiv:\n", nullptr},
  };
  for (const Case& c : cases) {
    const Generated generated = generate_query(loop + c.packaging);
    ASSERT_EQ(generated.code, 0) << c.packaging;
    EXPECT_NE(generated.text.find(c.label_line), std::string::npos) << c.packaging;
    EXPECT_NE(generated.text.find("\tgoto\t"), std::string::npos) << c.packaging;
    if (c.local_line != nullptr) {
      EXPECT_NE(generated.text.find(c.local_line), std::string::npos) << c.packaging;
    } else {
      EXPECT_EQ(count(generated.text, "local\t") + count(generated.text, "LOCAL\t"), 0u)
          << c.packaging;
    }
    EXPECT_NE(generated.text.find("; Routine: 12 words, 162 cycles, 4 bytes of RAM\n"),
              std::string::npos)
        << c.packaging;
  }
}

// The bytes of RAM are told once per routine: on the Routine line (or the line a packaged
// approximation gets in its place), or on the baseline core's own RAM line, never both. An
// approximation printed as it always was, to a client that sends Ram, has neither line.
TEST(PackagedLoopsTest, OneRoutineTellsItsRamOnce) {
  const std::string regs = "&Acc=ACC&Temp=TEMP&format=text";
  const std::string exact = "Const=1&DivideBy=10&Result=floor&Bits=16" + regs;
  const std::string approx = "Const=10&Bits=16" + regs;
  const std::string size = exact + "&Optimize=size";
  const char* const requests[] = {
      "&Ram=", "&Ram=0x20&Wrap=subroutine", "&Wrap=macro", "&Syntax=pic-as", "&Syntax=gpasm-reloc",
  };
  for (const std::string& base : {exact, approx, size}) {
    for (const char* request : requests) {
      for (const char* core : {"", "&Core=enhanced", "&Core=baseline"}) {
        const std::string query = base + request + core;
        const Generated generated = generate_query(query);
        ASSERT_EQ(generated.code, 0) << query;
        const bool baseline = std::string_view(core) == "&Core=baseline";
        const bool unpackaged_approximation =
            base == approx && std::string_view(request) == "&Ram=";
        EXPECT_EQ(count(generated.text, "\n; RAM: "), baseline ? 1u : 0u) << query;
        EXPECT_EQ(count(generated.text, " of RAM\n"),
                  baseline || unpackaged_approximation ? 0u : 1u)
            << query;
      }
    }
  }
}

}  // namespace
}  // namespace tarvek
