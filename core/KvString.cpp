#include "KvString.h"

#include <cstring>

#include "KvExceptions.h"

KvString::KvString(const char* bytes) : bytes_(bytes ? bytes : "") {}

KvString::KvString(const char* bytes, std::int32_t count)
    : bytes_(bytes && count > 0 ? std::string(bytes, static_cast<std::size_t>(count)) : std::string()) {
    // Like construction from a C string: the text ends at its first NUL.
    bytes_.resize(std::strlen(bytes_.c_str()));
}

KvString& KvString::operator=(const char* bytes) {
    bytes_ = bytes ? bytes : "";
    return *this;
}

bool KvString::operator==(const char* other) const {
    return other != nullptr && bytes_.size() == std::strlen(other) &&
           std::memcmp(bytes_.data(), other, bytes_.size()) == 0;
}

KvString& KvString::operator+=(const KvString& tail) {
    bytes_ += tail.bytes_;
    return *this;
}

KvString& KvString::operator+=(char c) {
    bytes_ += c;
    return *this;
}

KvString KvString::operator+(const KvString& tail) const {
    KvString result(*this);
    result += tail;
    return result;
}

KvString KvString::Substring(std::int32_t first, std::int32_t count) const {
    const std::int64_t length = Length();
    std::int64_t f = first;
    std::int64_t n = count;
    if (n == -1) n = length - f;
    if (f < 0) f = 0;
    if (n < 0) n = 0;
    KvString result;
    if (f > length) return result;
    if (f + n > length) n = length - f;
    result.bytes_.assign(bytes_, static_cast<std::size_t>(f), static_cast<std::size_t>(n));
    return result;
}

std::int32_t KvString::Find(const char* text, std::int32_t start) const {
    // Every text the program searches is ASCII, so a byte search is enough.
    if (start < 0 || start > Length() || text == nullptr) return -1;
    const auto pos = bytes_.find(text, static_cast<std::size_t>(start));
    return pos == std::string::npos ? -1 : static_cast<std::int32_t>(pos);
}

KvString KvString::FromUnsigned(std::uint32_t value, std::int32_t width) {
    // Built digit by digit: no format string is made from the width, so no width
    // can overflow a buffer or inject a conversion. Zero fill up to the width; a
    // longer number is written whole.
    char digits[16];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    KvString result;
    if (width > n) result.bytes_.append(static_cast<std::size_t>(width - n), '0');
    while (n > 0) result.bytes_ += digits[--n];
    return result;
}

std::int32_t KvString::ToLong() const {
    const char* p = bytes_.c_str();
    while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n' || *p == '\v' || *p == '\f') ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = (*p == '-');
        ++p;
    }
    if (*p < '0' || *p > '9') throw KvStringFormatException(*this);
    // A number beyond the signed 32-bit range is nothing a module sends: it is
    // line noise, typically a run of digits cut off at the 254-byte limit of a
    // line. It is refused like any other text that is no number, rather than
    // wrapped into a plausible-looking setting.
    const std::uint64_t limit = negative ? 2147483648u : 2147483647u;
    std::uint64_t value = 0;
    while (*p >= '0' && *p <= '9') {
        value = value * 10u + static_cast<std::uint64_t>(*p - '0');
        if (value > limit) throw KvStringFormatException(*this);
        ++p;
    }
    if (negative) return static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(value));
    return static_cast<std::int32_t>(value);
}

void KvString::ParsePair(std::int32_t& first, std::int32_t& second) const {
    const std::int32_t colon = Find(":");
    if (colon == -1) throw KvStringFormatException(*this);
    const std::int32_t slash = Find("/", colon);
    if (slash == -1) throw KvStringFormatException(*this);
    const std::int32_t a = Substring(colon + 1, slash - colon - 1).ToLong();
    const std::int32_t b = Substring(slash + 1).ToLong();
    first = a;
    second = b;
}

KvString Concat(const char* prefix, KvString text) {
    KvString result(prefix);
    result += text;
    return result;
}
