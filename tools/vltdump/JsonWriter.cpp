#include "JsonWriter.h"

#include "platform/Cp1252.h"

#include <charconv>
#include <cmath>

void CJsonWriter::Raw(std::string_view s)
{
    m_buf.append(s);
    if (m_buf.size() >= (1u << 20))
        Flush();
}

bool CJsonWriter::Flush()
{
    if (!m_buf.empty()) {
        if (std::fwrite(m_buf.data(), 1, m_buf.size(), m_out) != m_buf.size())
            m_bFailed = true;
        m_buf.clear();
    }
    if (std::fflush(m_out) != 0)
        m_bFailed = true;
    return !m_bFailed;
}

void CJsonWriter::Separator(std::string_view key)
{
    if (!m_first.empty()) {
        if (!m_first.back())
            Raw(",");
        m_first.back() = false;
        Raw("\n");
        Raw(std::string(m_first.size() * 2, ' '));
    }
    if (!key.empty()) {
        Quoted(key);
        Raw(": ");
    }
}

void CJsonWriter::BeginObject(std::string_view key)
{
    Separator(key);
    Raw("{");
    m_first.push_back(true);
}

void CJsonWriter::EndObject()
{
    const bool empty = m_first.back();
    m_first.pop_back();
    if (!empty) {
        Raw("\n");
        Raw(std::string(m_first.size() * 2, ' '));
    }
    Raw("}");
    if (m_first.empty())
        Raw("\n");
}

void CJsonWriter::BeginArray(std::string_view key)
{
    Separator(key);
    Raw("[");
    m_first.push_back(true);
}

void CJsonWriter::EndArray()
{
    const bool empty = m_first.back();
    m_first.pop_back();
    if (!empty) {
        Raw("\n");
        Raw(std::string(m_first.size() * 2, ' '));
    }
    Raw("]");
}

void CJsonWriter::Key(std::string_view key)
{
    Separator(key);
}

void CJsonWriter::Quoted(std::string_view utf8)
{
    std::string out = "\"";
    for (unsigned char c : utf8) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                static const char hex[] = "0123456789abcdef";
                out += "\\u00";
                out += hex[c >> 4];
                out += hex[c & 15];
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    out += '"';
    Raw(out);
}

void CJsonWriter::String(std::string_view key, std::string_view cp1252)
{
    Separator(key);
    Quoted(Cp1252ToUtf8(cp1252));
}

void CJsonWriter::Int(std::string_view key, int64_t value)
{
    Separator(key);
    Number(value);
}

void CJsonWriter::Bool(std::string_view key, bool value)
{
    Separator(key);
    Raw(value ? "true" : "false");
}

void CJsonWriter::Double(std::string_view key, double value)
{
    Separator(key);
    Number(value);
}

void CJsonWriter::Number(double v)
{
    if (std::isnan(v)) {
        Raw("\"nan\"");
    } else if (std::isinf(v)) {
        Raw(v > 0 ? "\"inf\"" : "\"-inf\"");
    } else {
        char text[32];
        const auto r = std::to_chars(text, text + sizeof text, v);
        Raw(std::string_view(text, static_cast<size_t>(r.ptr - text)));
    }
}

void CJsonWriter::Number(int64_t v)
{
    char text[24];
    const auto r = std::to_chars(text, text + sizeof text, v);
    Raw(std::string_view(text, static_cast<size_t>(r.ptr - text)));
}
