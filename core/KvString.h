#pragma once
#include <cstdint>
#include <string>

// Byte string of the device link, the protocol and the workflows. The bytes are
// not interpreted as characters; on the serial line they are plain ASCII.
class KvString {
public:
    KvString() = default;
    KvString(const char* bytes);  // NOLINT: implicit on purpose, like a C string
    KvString(const char* bytes, std::int32_t count);
    KvString(const KvString&) = default;
    KvString(KvString&&) noexcept = default;
    virtual ~KvString() = default;

    KvString& operator=(const KvString&) = default;
    KvString& operator=(KvString&&) noexcept = default;
    KvString& operator=(const char* bytes);

    std::int32_t Length() const { return static_cast<std::int32_t>(bytes_.size()); }
    const char* CStr() const { return bytes_.c_str(); }

    bool operator==(const char* other) const;
    bool operator==(const KvString& other) const { return bytes_ == other.bytes_; }

    KvString& operator+=(const KvString& tail);
    KvString& operator+=(char c);
    KvString operator+(const KvString& tail) const;

    KvString Substring(std::int32_t first, std::int32_t count = -1) const;
    std::int32_t Find(const char* text, std::int32_t start = 0) const;

    static KvString FromUnsigned(std::uint32_t value, std::int32_t width = -1);
    std::int32_t ToLong() const;
    void ParsePair(std::int32_t& first, std::int32_t& second) const;

    const std::string& Bytes() const { return bytes_; }

private:
    std::string bytes_;
};

KvString Concat(const char* prefix, KvString text);
