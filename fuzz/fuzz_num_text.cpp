// Arbitrary bytes as a number text under both decimal separators: TextToReal must give
// the independent reading's value bits or fault, and ReadNumberText and ParseNumberText
// what a test followed by TextToReal gives; RoundTripReal of the first eight bytes as a
// double's bits, and of the text's value, what the text RealToText writes reads back as.
// Aborts on any difference.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "logic/complex/fault.h"
#include "logic/complex/num_text.h"
#include "logic/evaluator/result_text.h"
#include "tests/support/number_text_reference.h"

namespace {

using namespace ombrix;

void Check(bool agree) {
  if (!agree) std::abort();
}

// Where RoundTripReal gives a value, it is the bits of TextToReal(RealToText(x)).
void CheckRoundTrip(double x) {
  double out = 0;
  if (!ombrix::RoundTripReal(x, out)) return;
  double text = 0;
  try {
    text = ombrix::TextToReal(ombrix::RealToText(x));
  } catch (const ombrix::Fault&) {
    std::abort();
  }
  Check(std::bit_cast<std::uint64_t>(out) == std::bit_cast<std::uint64_t>(text));
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
    if (size >= sizeof(double)) {
      double bits_value;
      std::memcpy(&bits_value, data, sizeof bits_value);
      CheckRoundTrip(bits_value);
    }
    if (reading && reading->fault.empty()) CheckRoundTrip(std::bit_cast<double>(reading->bits));
  }
  return 0;
}
