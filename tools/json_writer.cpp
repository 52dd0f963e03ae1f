#include "tools/json_writer.h"

#include <cmath>
#include <cstdio>

#include "platform/ansi.h"

namespace tools {

void JsonWriter::Separate() {
    if (m_needComma) {
        m_out += ',';
    }
}

JsonWriter& JsonWriter::BeginObject() {
    Separate();
    m_out += '{';
    m_needComma = false;
    return *this;
}

JsonWriter& JsonWriter::EndObject() {
    m_out += '}';
    m_needComma = true;
    return *this;
}

JsonWriter& JsonWriter::BeginArray() {
    Separate();
    m_out += '[';
    m_needComma = false;
    return *this;
}

JsonWriter& JsonWriter::EndArray() {
    m_out += ']';
    m_needComma = true;
    return *this;
}

JsonWriter& JsonWriter::Key(std::string_view key) {
    Separate();
    m_out += '"';
    m_out += key;
    m_out += "\":";
    m_needComma = false;
    return *this;
}

JsonWriter& JsonWriter::Text(std::string_view ansi) {
    Separate();
    m_out += '"';
    for (const char c : platform::AnsiToUtf8(ansi)) {
        switch (c) {
            case '"':
                m_out += "\\\"";
                break;
            case '\\':
                m_out += "\\\\";
                break;
            case '\n':
                m_out += "\\n";
                break;
            case '\r':
                m_out += "\\r";
                break;
            case '\t':
                m_out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x",
                                  static_cast<unsigned char>(c));
                    m_out += escaped;
                } else {
                    m_out += c;
                }
        }
    }
    m_out += '"';
    m_needComma = true;
    return *this;
}

JsonWriter& JsonWriter::Real(double value) {
    Separate();
    if (std::isfinite(value)) {
        char text[32];
        std::snprintf(text, sizeof text, "%.17g", value);
        m_out += text;
    } else {
        m_out += "null";  // JSON has no infinities
    }
    m_needComma = true;
    return *this;
}

JsonWriter& JsonWriter::Int(std::int64_t value) {
    Separate();
    m_out += std::to_string(value);
    m_needComma = true;
    return *this;
}

JsonWriter& JsonWriter::Bool(bool value) {
    Separate();
    m_out += value ? "true" : "false";
    m_needComma = true;
    return *this;
}

}  // namespace tools
