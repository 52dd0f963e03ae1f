#pragma once

// A small writer of one-line JSON objects for the tools' output. Texts arrive in the
// program's code page (Windows-1252) and leave as UTF-8; reals keep 17 significant digits.

#include <cstdint>
#include <string>
#include <string_view>

namespace tools {

class JsonWriter {
public:
    JsonWriter& BeginObject();
    JsonWriter& EndObject();
    JsonWriter& BeginArray();
    JsonWriter& EndArray();
    JsonWriter& Key(std::string_view key);
    JsonWriter& Text(std::string_view ansi);
    JsonWriter& Real(double value);
    JsonWriter& Int(std::int64_t value);
    JsonWriter& Bool(bool value);

    // Key and value in one call.
    template <typename T>
    JsonWriter& Field(std::string_view key, const T& value);

    const std::string& Str() const { return m_out; }

private:
    void Separate();

    std::string m_out;
    bool m_needComma = false;
};

template <typename T>
JsonWriter& JsonWriter::Field(std::string_view key, const T& value) {
    Key(key);
    if constexpr (std::is_same_v<T, bool>) {
        return Bool(value);
    } else if constexpr (std::is_floating_point_v<T>) {
        return Real(value);
    } else if constexpr (std::is_integral_v<T>) {
        return Int(static_cast<std::int64_t>(value));
    } else {
        return Text(value);
    }
}

}  // namespace tools
