// Arbitrary bytes as a number text under both decimal separators: TextToReal must give
// the independent reading's value bits or fault, and ReadNumberText and ParseNumberText
// what a test followed by TextToReal gives. Aborts on any difference.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "logic/complex/num_text.h"
#include "logic/evaluator/result_text.h"
#include "tests/support/number_text_reference.h"

namespace {

using namespace ombrix;

void Check(bool agree) {
  if (!agree) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (const char separator : {',', '.'}) {
    SetDecimalSeparator(separator);
    const std::optional<testing::Reading> reading = testing::IndependentReading(text, separator);
    Check(!reading || testing::ReadingOf([&] { return TextToReal(text); }) == *reading);
    const std::string expected = testing::ReferenceNumberOutcome(text);
    Check(testing::NumberOutcome([&] { return ReadNumberText(text); }) == expected);
    Check(testing::NumberOutcome([&] { return std::optional{ParseNumberText(text)}; }) ==
          (expected == "none" ? "0 0" : expected));
  }
  return 0;
}
