#include "page/answer_format.h"

#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "form/form_entry_list.h"

namespace tarvek {
namespace {

FormEntryList form_of(const std::vector<FormEntry>& entries) {
  FormEntryList form;
  form_list_init(form);
  FormEntry* last = nullptr;
  for (const FormEntry& entry : entries)
    last = form_list_insert(form, last, entry.name, entry.value);
  return form;
}

TEST(AnswerFormatTest, ChosenByTheFirstFormatField) {
  struct Case {
    const char* name;
    std::vector<FormEntry> entries;
    std::optional<AnswerFormat> format;
  };
  const Case cases[] = {
      {"absent", {{"Const", "10"}}, AnswerFormat::kHtml},
      {"empty", {{"format", ""}}, AnswerFormat::kHtml},
      {"html", {{"format", "html"}}, AnswerFormat::kHtml},
      {"text", {{"format", "text"}}, AnswerFormat::kText},
      {"json", {{"format", "json"}}, AnswerFormat::kJson},
      {"the first of two counts", {{"format", "text"}, {"format", "json"}}, AnswerFormat::kText},
      {"upper case is unknown", {{"format", "JSON"}}, std::nullopt},
      {"a trailing blank is unknown", {{"format", "json "}}, std::nullopt},
      {"another format", {{"format", "xml"}}, std::nullopt},
      {"the field name is case-sensitive", {{"Format", "xml"}}, AnswerFormat::kHtml},
  };
  for (const Case& c : cases) {
    FormEntryList form = form_of(c.entries);
    EXPECT_EQ(answer_format(form), c.format) << c.name;
    form_list_free(form);
  }
}

TEST(AnswerFormatTest, Headers) {
  struct Case {
    const char* name;
    AnswerFormat format;
    bool refused;
    const char* header;
  };
  const Case cases[] = {
      {"html", AnswerFormat::kHtml, false, "Content-type: text/html\n\n"},
      {"html refused keeps status 200", AnswerFormat::kHtml, true, "Content-type: text/html\n\n"},
      {"text", AnswerFormat::kText, false, "Content-type: text/plain; charset=us-ascii\n\n"},
      {"text refused", AnswerFormat::kText, true,
       "Status: 400 Bad Request\nContent-type: text/plain; charset=us-ascii\n\n"},
      {"json", AnswerFormat::kJson, false, "Content-type: application/json\n\n"},
      {"json refused", AnswerFormat::kJson, true,
       "Status: 400 Bad Request\nContent-type: application/json\n\n"},
  };
  for (const Case& c : cases) {
    std::ostringstream out;
    print_answer_header(out, c.format, c.refused);
    EXPECT_EQ(out.str(), c.header) << c.name;
  }
}

}  // namespace
}  // namespace tarvek
