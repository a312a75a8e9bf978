// The whole result page for one request, byte for byte against a kept golden copy. The
// site host printed in the stamp is a build setting, so the golden copy holds it as
// "@SITE_HOST@".
#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "page/driver.h"
#include "page/stamp.h"

namespace tarvek {
namespace {

// Tue Mar 07 09:05:07 2000 GMT.
constexpr std::time_t kNow = 952419907;

std::string read_golden(const std::string& name) {
  std::ifstream file(std::string(TARVEK_ROUTINE_GOLDEN_DIR) + "/" + name, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

std::string page_for(const std::string& query) {
  std::istringstream in;
  std::ostringstream out;
  std::ostringstream err;
  const RequestSource source{[&query](const std::string& name) -> std::optional<std::string> {
                               if (name == "REQUEST_METHOD") return "GET";
                               if (name == "QUERY_STRING") return query;
                               return std::nullopt;
                             },
                             in, err, "/tmp"};
  EXPECT_FALSE(run_request(source, out, kNow).has_value());
  return out.str();
}

TEST(GoldenPageTest, TenTimesAnEightBitInputBigEndian) {
  std::string golden = read_golden("const10_8bit_big_page.html");
  ASSERT_FALSE(golden.empty()) << "golden page missing";
  const std::string placeholder = "@SITE_HOST@";
  golden.replace(golden.find(placeholder), placeholder.size(), site_host());
  EXPECT_EQ(page_for("Const=10&Bits=8&ConstErr=0&Acc=ACC&Temp=TEMP&endian=big"), golden);
}

}  // namespace
}  // namespace tarvek
