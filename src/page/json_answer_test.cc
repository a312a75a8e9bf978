#include "page/json_answer.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "form/form_entry_list.h"
#include "page/routine_generation.h"
#include "page/validation.h"
#include "sim/times_ten_block_for_tests.h"

namespace tarvek {
namespace {

std::string answer_for(const std::vector<FormEntry>& entries, std::string_view block) {
  FormEntryList form;
  form_list_init(form);
  FormEntry* last = nullptr;
  for (const FormEntry& entry : entries)
    last = form_list_insert(form, last, entry.name, entry.value);
  const RequestFields fields = read_request_fields(form);
  const ValidatedRequest checked = validate_request(fields);
  const std::string text = json_answer(form, fields, checked, checked.error_code, block);
  form_list_free(form);
  return text;
}

// The answer to `entries` with the routine the program generates for them; "refused N" when
// the checks or the generator refuse them.
std::string generated_answer_for(const std::vector<FormEntry>& entries) {
  FormEntryList form;
  form_list_init(form);
  FormEntry* last = nullptr;
  for (const FormEntry& entry : entries)
    last = form_list_insert(form, last, entry.name, entry.value);
  const RequestFields fields = read_request_fields(form);
  const ValidatedRequest checked = validate_request(fields);
  std::ostringstream block;
  Register acc(fields.acc_name, checked.input_bits, fields.little_endian);
  Register temp(fields.temp_name, 0, fields.little_endian);
  int code = checked.error_code;
  if (code == 0) code = generate_routine(block, checked.request, acc, temp);
  const std::string text = code == 0 ? json_answer(form, fields, checked, 0, block.str())
                                     : "refused " + std::to_string(code);
  form_list_free(form);
  return text;
}

TEST(JsonAnswerTest, Routine) {
  const std::string text = answer_for({{"Const", "10.0"},
                                       {"Bits", "8"},
                                       {"Acc", "ACC"},
                                       {"Temp", "TEMP"},
                                       {"endian", "big"},
                                       {"format", "json"}},
                                      kTimesTenBlock);
  const std::string request =
      R"({"request":{"Const":{"sent":"10.0","value":10},"DivideBy":{"sent":null,"value":1},)"
      R"("Result":{"sent":null,"value":"approx"},"ConstErr":{"sent":null,"value":0},)"
      R"("Bits":{"sent":"8","value":8},"Signed":{"sent":null,"value":false},)"
      R"("Acc":{"sent":"ACC","value":"ACC"},)"
      R"("Temp":{"sent":"TEMP","value":"TEMP"},"Ram":{"sent":null,"value":null},)"
      R"("endian":{"sent":"big","value":"big"},)"
      R"("Core":{"sent":null,"value":"midrange"},)"
      R"("Wrap":{"sent":null,"value":"inline"},"Syntax":{"sent":null,"value":"mpasm"},)"
      R"("Name":{"sent":null,"value":null},)"
      R"("format":{"sent":"json","value":"json"}},"constant":{"value":10},)";
  const std::string routine = R"("routine":"; ACC = ACC * 10.000000\n;\n; ALGORITHM:\n)";
  const std::string after_routine =
      R"(addwf\tACC0, f\n\n","output":{"bytes":["ACC0","ACC1"],"bits":12},)"
      R"("instructions":21,"cycles":21,"ram_bytes":4})"
      "\n";
  EXPECT_EQ(text.substr(0, request.size()), request);
  EXPECT_EQ(text.substr(request.size(), routine.size()), routine);
  ASSERT_GE(text.size(), after_routine.size());
  EXPECT_EQ(text.substr(text.size() - after_routine.size()), after_routine);
}

TEST(JsonAnswerTest, RefusedRequestAsUnderstood) {
  const std::string text = answer_for({{"Const", "abc"},
                                       {"Bits", "40 bits"},
                                       {"ConstErr", "1e999"},
                                       {"Acc", "A<\"b\">"},
                                       {"Temp", "T\\\n"},
                                       {"endian", "little"},
                                       {"format", "json"}},
                                      "not read");
  EXPECT_EQ(
      text,
      R"({"request":{"Const":{"sent":"abc","value":0},"DivideBy":{"sent":null,"value":1},)"
      R"("Result":{"sent":null,"value":"approx"},"ConstErr":{"sent":"1e999","value":null},)"
      R"("Bits":{"sent":"40 bits","value":40},"Signed":{"sent":null,"value":false},)"
      R"("Acc":{"sent":"A<\"b\">","value":"A<\"b\">"},"Temp":{"sent":"T\\\n","value":"T\\\n"},)"
      R"("Ram":{"sent":null,"value":null},)"
      R"("endian":{"sent":"little","value":"little"},"Core":{"sent":null,"value":"midrange"},)"
      R"("Wrap":{"sent":null,"value":"inline"},"Syntax":{"sent":null,"value":"mpasm"},)"
      R"("Name":{"sent":null,"value":null},)"
      R"("format":{"sent":"json","value":"json"}},)"
      R"("error":{"code":1,"message":"Input size out of range (1..32 bits)."},)"
      R"("errors":[{"code":1,"field":"Bits","message":"Input size out of range (1..32 bits)."}]})"
      "\n");
}

TEST(JsonAnswerTest, Core) {
  const auto core_member = [](const char* sent) {
    return answer_for({{"Const", "10"}, {"Bits", "8"}, {"Acc", "A"}, {"Temp", "T"}, {"Core", sent}},
                      kTimesTenBlock);
  };
  EXPECT_NE(core_member("enhanced").find(R"("Core":{"sent":"enhanced","value":"enhanced"},)"),
            std::string::npos);
  EXPECT_NE(core_member("").find(R"("Core":{"sent":"","value":"midrange"},)"), std::string::npos);
  EXPECT_NE(core_member("pic18").find(R"("Core":{"sent":"pic18","value":"pic18"},)"),
            std::string::npos);
  const std::string refused = core_member("PIC18");
  EXPECT_NE(refused.find(R"("Core":{"sent":"PIC18","value":null},)"), std::string::npos);
  EXPECT_NE(refused.find(R"("error":{"code":13,)"), std::string::npos);
}

TEST(JsonAnswerTest, ExactModes) {
  struct Case {
    const char* name;
    std::vector<FormEntry> entries;
    std::string start;
  };
  const auto with = [](std::vector<FormEntry> entries) {
    entries.insert(entries.end(), {{"Bits", "8"}, {"Acc", "A"}, {"Temp", "T"}});
    return entries;
  };
  const Case cases[] = {
      {"floor of a fraction; the allowed error is not used",
       with({{"Const", "1"}, {"DivideBy", "7/3"}, {"Result", "floor"}, {"ConstErr", "5"}}),
       R"({"request":{"Const":{"sent":"1","value":1},)"
       R"("DivideBy":{"sent":"7/3","value":2.3333333333333335},)"
       R"("Result":{"sent":"floor","value":"floor"},"ConstErr":{"sent":"5","value":null},)"},
      {"unknown result", with({{"Const", "3"}, {"Result", "trunc!"}}),
       R"({"request":{"Const":{"sent":"3","value":3},"DivideBy":{"sent":null,"value":1},)"
       R"("Result":{"sent":"trunc!","value":null},"ConstErr":{"sent":null,"value":0},)"},
      {"divisor that is no number", with({{"Const", "3"}, {"DivideBy", "x"}}),
       R"({"request":{"Const":{"sent":"3","value":3},"DivideBy":{"sent":"x","value":null},)"},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(answer_for(c.entries, kTimesTenBlock).starts_with(c.start)) << c.name;
  }
  EXPECT_NE(answer_for(cases[0].entries, kTimesTenBlock)
                .find(R"("constant":{"value":0.42857142857142855,"fraction":"3/7"},"routine":)"),
            std::string::npos);
  EXPECT_TRUE(answer_for(cases[1].entries, "")
                  .ends_with(R"("error":{"code":8,"message":"Result must be approx, floor, )"
                             R"(nearest or trunc."},"errors":[{"code":8,"field":"Result",)"
                             R"("message":"Result must be approx, floor, nearest or trunc."}]})"
                             "\n"));
}

TEST(JsonAnswerTest, Ram) {
  struct Case {
    const char* name;
    const char* sent;
    std::string member;
    std::string after_request;
  };
  const Case cases[] = {
      {"an address", "0x20", R"("Ram":{"sent":"0x20","value":32},)", R"(}},"constant":)"},
      {"none", "", R"("Ram":{"sent":"","value":null},)", R"(}},"constant":)"},
      {"no address", "bank 0", R"("Ram":{"sent":"bank 0","value":null},)",
       R"(}},"error":{"code":16,)"},
  };
  for (const Case& c : cases) {
    const std::string text =
        answer_for({{"Const", "10"}, {"Bits", "8"}, {"Acc", "A"}, {"Temp", "T"}, {"Ram", c.sent}},
                   kTimesTenBlock);
    EXPECT_NE(text.find(R"("Temp":{"sent":"T","value":"T"},)" + c.member), std::string::npos)
        << c.name << ": " << text;
    EXPECT_NE(text.find(c.after_request), std::string::npos) << c.name << ": " << text;
  }
}

// Every failing check is listed with its field, so that a form can mark each at once; the
// clash of two names is told in full.
TEST(JsonAnswerTest, EveryRefusal) {
  FormEntryList form;
  form_list_init(form);
  FormEntry* last = nullptr;
  for (const FormEntry& entry :
       std::vector<FormEntry>{{"Const", ""}, {"Bits", "99"}, {"Acc", "R"}, {"Temp", "R"}}) {
    last = form_list_insert(form, last, entry.name, entry.value);
  }
  const RequestFields fields = read_request_fields(form);
  const ValidatedRequest checked = validate_request(fields);
  ASSERT_EQ(checked.error_codes, (std::vector<int>{4, 2, 1}));
  AnswerDetails details;
  for (const int code : checked.error_codes) {
    details.refusals.push_back({code, refusal_detail(code, fields)});
  }
  const std::string text = json_answer(form, fields, checked, checked.error_code, "", details);
  form_list_free(form);
  EXPECT_NE(
      text.find(
          R"("error":{"code":1,"message":"Input size out of range (1..32 bits)."},"errors":[)"
          R"({"code":4,"field":"Temp","message":"Enter temporary register(s) name.",)"
          R"("detail":"Input register R and temporary register R both have a byte named R0."},)"
          R"({"code":2,"field":"Const","message":"Constant value is negative, zero, or not a )"
          R"(number."},)"
          R"({"code":1,"field":"Bits","message":"Input size out of range (1..32 bits)."}]})"),
      std::string::npos)
      << text;
}

TEST(JsonAnswerTest, SignedInput) {
  struct Case {
    const char* name;
    std::vector<FormEntry> entries;
    // The Signed member between its neighbours, then the constant or the error that follows
    // the request.
    std::string member;
    std::string after_request;
  };
  const auto with = [](std::vector<FormEntry> entries) {
    entries.insert(entries.end(), {{"Bits", "8"}, {"Acc", "A"}, {"Temp", "T"}});
    return entries;
  };
  const Case cases[] = {
      {"signed trunc",
       with({{"Const", "1"}, {"DivideBy", "10"}, {"Result", "trunc"}, {"Signed", "1"}}),
       R"("Result":{"sent":"trunc","value":"trunc"},"ConstErr":{"sent":null,"value":null},)"
       R"("Bits":{"sent":"8","value":8},"Signed":{"sent":"1","value":true},"Acc":)",
       R"(}},"constant":{"value":0.1,"fraction":"1/10"},"routine":)"},
      {"unsigned by 0 in an exact mode",
       with({{"Const", "3"}, {"Result", "floor"}, {"Signed", "0"}}),
       R"("Bits":{"sent":"8","value":8},"Signed":{"sent":"0","value":false},"Acc":)",
       R"(}},"constant":{"value":3,"fraction":"3/1"},"routine":)"},
      {"a ticked box in the approximation is refused as signed",
       with({{"Const", "3"}, {"Signed", "on"}}),
       R"("Bits":{"sent":"8","value":8},"Signed":{"sent":"on","value":true},"Acc":)",
       R"(}},"error":{"code":12,"message":"Signed inputs need an exact result (floor, )"
       R"(nearest or trunc)."},"errors":[{"code":12,"field":"Signed",)"},
      {"a value that is no answer", with({{"Const", "3"}, {"Result", "floor"}, {"Signed", "yes"}}),
       R"("Bits":{"sent":"8","value":8},"Signed":{"sent":"yes","value":null},"Acc":)",
       R"(}},"error":{"code":15,"message":"Signed must be 1 or on for a signed input, empty, )"
       R"(0 or off for an unsigned one."},"errors":[{"code":15,"field":"Signed",)"},
  };
  for (const Case& c : cases) {
    const std::string text = answer_for(c.entries, kTimesTenBlock);
    EXPECT_NE(text.find(c.member), std::string::npos) << c.name << ": " << text;
    EXPECT_NE(text.find(c.after_request), std::string::npos) << c.name << ": " << text;
  }
}

// A packaged routine: the packaging as understood, and the counts of its instructions (without
// the label, bank selection and return around them) and of the bytes it declares.
TEST(JsonAnswerTest, Packaging) {
  struct Case {
    const char* name;
    std::vector<FormEntry> extra;
    const char* request;
  };
  const Case cases[] = {
      {"pic-as subroutine",
       {{"Wrap", "subroutine"}, {"Syntax", "pic-as"}},
       R"("Wrap":{"sent":"subroutine","value":"subroutine"},)"
       R"("Syntax":{"sent":"pic-as","value":"pic-as"},)"
       R"("Name":{"sent":null,"value":"acc_div10_floor"},)"},
      {"a module named",
       {{"Syntax", "gpasm-reloc"}, {"Name", "div10"}},
       R"("Wrap":{"sent":null,"value":"subroutine"},)"
       R"("Syntax":{"sent":"gpasm-reloc","value":"gpasm-reloc"},)"
       R"("Name":{"sent":"div10","value":"div10"},)"},
      {"an MPASM macro",
       {{"Wrap", "macro"}},
       R"("Wrap":{"sent":"macro","value":"macro"},"Syntax":{"sent":null,"value":"mpasm"},)"
       R"("Name":{"sent":null,"value":"acc_div10_floor"},)"},
  };
  for (const Case& c : cases) {
    std::vector<FormEntry> entries = {{"Const", "1"}, {"DivideBy", "10"}, {"Result", "floor"},
                                      {"Bits", "8"},  {"Acc", "ACC"},     {"Temp", "TEMP"}};
    entries.insert(entries.end(), c.extra.begin(), c.extra.end());
    const std::string text = generated_answer_for(entries);
    EXPECT_NE(text.find(c.request), std::string::npos) << c.name << "\n" << text;
    EXPECT_NE(text.find(R"("instructions":20,"cycles":20,"ram_bytes":1})"), std::string::npos)
        << c.name << "\n"
        << text;
  }
}

// A whole program is a PIC18 wrap: echoed as such there, unknown on the other cores; a name
// that is a PIC18 instruction is no name on that core.
TEST(JsonAnswerTest, Pic18Packaging) {
  struct Case {
    const char* name;
    std::vector<FormEntry> extra;
    std::vector<std::string> members;
  };
  const Case cases[] = {
      {"a PIC18 program",
       {{"Core", "pic18"}, {"Wrap", "program"}},
       {R"("Core":{"sent":"pic18","value":"pic18"},)",
        R"("Wrap":{"sent":"program","value":"program"},"Syntax":{"sent":null,"value":"mpasm"},)"
        R"("Name":{"sent":null,"value":"a_x10_approx"},)"}},
      {"a mid-range program",
       {{"Wrap", "program"}},
       {R"("Wrap":{"sent":"program","value":null},)", R"("error":{"code":40,)"}},
      {"a PIC18 instruction as a PIC18 name",
       {{"Core", "pic18"}, {"Wrap", "macro"}, {"Name", "mullw"}},
       {R"("Name":{"sent":"mullw","value":null},)", R"("error":{"code":42,)"}},
      {"a PIC18 instruction as the name of a refused mid-range request",
       {{"Wrap", "macro"}, {"Name", "mullw"}, {"Result", "round"}},
       {R"("Name":{"sent":"mullw","value":"mullw"},)", R"("error":{"code":8,)"}},
  };
  for (const Case& c : cases) {
    std::vector<FormEntry> entries = {{"Const", "10"}, {"Bits", "8"}, {"Acc", "A"}, {"Temp", "T"}};
    entries.insert(entries.end(), c.extra.begin(), c.extra.end());
    const std::string text = answer_for(entries, kTimesTenBlock);
    for (const std::string& member : c.members) {
      EXPECT_NE(text.find(member), std::string::npos) << c.name << "\n" << text;
    }
  }
}

// What a remainder, digits or a routine for size add, each only for the request that asks.
TEST(JsonAnswerTest, RemainderDigitsAndSizes) {
  struct Case {
    const char* name;
    std::vector<FormEntry> entries;
    std::vector<std::string> present;
    std::vector<std::string> absent;
  };
  const Case cases[] = {
      {"a remainder",
       {{"Const", "1"}, {"DivideBy", "10"}, {"Result", "floor"}, {"Bits", "16"}, {"Rem", "R"}},
       {R"("output":{"bytes":["ACC0","ACC1"],"bits":13},"remainder":{"bytes":["R0"],"bits":4},)"},
       {R"("digits":)", R"("words":)"}},
      {"digits",
       {{"Result", "digits"}, {"Bits", "8"}, {"DigitForm", "ascii"}},
       {R"("output":null,"digits":{"bytes":["ACC0","ACC1","ACC2"],"count":3,"base":10,)"
        R"("form":"ascii"},)"},
       {R"("remainder":)", R"("words":)"}},
      {"a loop for size",
       {{"Const", "1"},
        {"DivideBy", "10"},
        {"Result", "floor"},
        {"Bits", "8"},
        {"Optimize", "size"}},
       {R"("Optimize":{"sent":"size","value":"size"},"Label":{"sent":null,"value":""},)",
        R"("words":7,"cycles_min":7,"cycles_max":132})"},
       {R"("remainder":)", R"("digits":)"}},
  };
  for (const Case& c : cases) {
    std::vector<FormEntry> entries = c.entries;
    entries.push_back({"Acc", "ACC"});
    entries.push_back({"Temp", "TEMP"});
    const std::string text = generated_answer_for(entries);
    for (const std::string& part : c.present) {
      EXPECT_NE(text.find(part), std::string::npos) << c.name << ": " << part << "\n" << text;
    }
    for (const std::string& part : c.absent) {
      EXPECT_EQ(text.find(part), std::string::npos) << c.name << ": " << part;
    }
  }
}

}  // namespace
}  // namespace tarvek
