// KvString's number input on arbitrary text: ToLong and ParsePair against a
// plain model of the conversion, plus the Substring and Find arithmetic they
// rest on and the FromUnsigned round trip.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "FuzzFail.h"
#include "KvExceptions.h"
#include "KvString.h"

namespace {

// "%ld" as the program reads it: blanks, one optional sign, one or more
// digits. A number beyond the signed 32-bit range is refused as noise.
struct Reading {
    bool hasDigits = false;
    std::optional<std::int32_t> value;  // set only when the number fits
};

Reading ReadNumber(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n' ||
                               text[i] == '\v' || text[i] == '\f')) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    Reading r;
    long long magnitude = 0;
    bool fits = true;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        r.hasDigits = true;
        if (fits) {
            magnitude = magnitude * 10 + (text[i] - '0');
            if (magnitude > 2147483648LL) fits = false;
        }
        ++i;
    }
    if (!r.hasDigits) return r;
    const long long v = negative ? -magnitude : magnitude;
    if (fits && v >= std::numeric_limits<std::int32_t>::min() && v <= std::numeric_limits<std::int32_t>::max()) {
        r.value = static_cast<std::int32_t>(v);
    }
    return r;
}

// ToLong: a number is read or a KvStringFormatException comes, and nothing else.
std::optional<std::int32_t> ToLongOf(const KvString& text, bool& threw) {
    threw = false;
    try {
        return text.ToLong();
    } catch (const KvStringFormatException& e) {
        threw = true;
        if (!(e.message == text)) Fail("ToLong: the exception does not carry the text that failed");
    }
    return std::nullopt;
}

void CheckToLong(const KvString& text) {
    const Reading expected = ReadNumber(text.Bytes());
    bool threw = false;
    const std::optional<std::int32_t> got = ToLongOf(text, threw);
    if (!expected.hasDigits && !threw) Fail("ToLong: read a number where there is none");
    if (expected.hasDigits && !expected.value && !threw) Fail("ToLong: took a number beyond 32 bits");
    if (expected.value && (threw || *got != *expected.value)) Fail("ToLong: wrong value");
}

void CheckParsePair(const KvString& text) {
    const std::string& bytes = text.Bytes();
    const std::size_t colon = bytes.find(':');
    const std::size_t slash = colon == std::string::npos ? std::string::npos : bytes.find('/', colon);

    std::optional<Reading> first;
    std::optional<Reading> second;
    if (slash != std::string::npos) {
        first = ReadNumber(bytes.substr(colon + 1, slash - colon - 1));
        second = ReadNumber(bytes.substr(slash + 1));
    }
    const bool shouldRead = first && first->value && second->value;

    constexpr std::int32_t kUntouched = 0x5a5a5a5a;
    std::int32_t a = kUntouched;
    std::int32_t b = kUntouched;
    bool threw = false;
    try {
        text.ParsePair(a, b);
    } catch (const KvStringFormatException&) {
        threw = true;
    }
    if (threw) {
        if (a != kUntouched || b != kUntouched) Fail("ParsePair: a failure changed an out-value");
        if (shouldRead) Fail("ParsePair: threw on a readable pair");
        return;
    }
    if (!shouldRead) Fail("ParsePair: read a pair where there is none");
    if (a != *first->value || b != *second->value) Fail("ParsePair: wrong numbers");
}

void CheckSubstringAndFind(const KvString& text, FuzzedDataProvider& input) {
    const std::string& bytes = text.Bytes();
    const auto length = static_cast<std::int64_t>(bytes.size());
    const auto first = input.ConsumeIntegralInRange<std::int32_t>(-300, 300);
    const auto count = input.ConsumeIntegralInRange<std::int32_t>(-300, 300);

    std::int64_t f = first;
    std::int64_t n = count == -1 ? length - f : count;
    if (f < 0) f = 0;
    if (n < 0) n = 0;
    std::string expected;
    if (f <= length)
        expected = bytes.substr(static_cast<std::size_t>(f), static_cast<std::size_t>(std::min(n, length - f)));
    const KvString part = text.Substring(first, count);
    if (part.Bytes() != expected) Fail("Substring: wrong bytes");

    const std::string needle = input.ConsumeRandomLengthString(4);
    if (needle.find('\0') != std::string::npos) return;
    const auto start = input.ConsumeIntegralInRange<std::int32_t>(0, 300);
    const std::int32_t found = text.Find(needle.c_str(), start);
    if (start > length) {
        if (found != -1) Fail("Find: searched past the end");
        return;
    }
    const std::size_t reference = bytes.find(needle, static_cast<std::size_t>(start));
    const std::int32_t expectedFound = reference == std::string::npos ? -1 : static_cast<std::int32_t>(reference);
    if (found != expectedFound) Fail("Find: wrong index");
}

void CheckFromUnsigned(FuzzedDataProvider& input) {
    const auto value = input.ConsumeIntegral<std::uint32_t>();
    const auto width = input.ConsumeIntegralInRange<std::int32_t>(-1, 40);
    const KvString text = KvString::FromUnsigned(value, width);
    const std::string plain = std::to_string(value);
    const std::size_t expectedLength = std::max(plain.size(), width > 0 ? static_cast<std::size_t>(width) : 0u);
    if (static_cast<std::size_t>(text.Length()) != expectedLength) Fail("FromUnsigned: wrong length");
    if (text.Bytes().compare(expectedLength - plain.size(), std::string::npos, plain) != 0) {
        Fail("FromUnsigned: wrong digits");
    }
    if (value <= static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max())) {
        bool threw = false;
        const auto back = ToLongOf(text, threw);
        if (threw || static_cast<std::uint32_t>(*back) != value) Fail("FromUnsigned: does not read back");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    // Most of the input is the text; a few bytes from the end steer the rest.
    const std::string raw = input.ConsumeBytesAsString(size > 12 ? size - 12 : size);
    const KvString text(raw.c_str());  // a text ends at its first NUL, as on the line

    CheckToLong(text);
    CheckToLong(text.Substring(6));  // where the serial number and the SCI data begin
    CheckParsePair(text);
    CheckSubstringAndFind(text, input);
    CheckFromUnsigned(input);
    return 0;
}
