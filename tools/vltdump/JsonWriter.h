#pragma once
// A small streaming JSON writer: locale-free numbers that read back to the
// same double, cp1252 record text converted to UTF-8, output buffered.

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

class CJsonWriter
{
public:
    explicit CJsonWriter(std::FILE* out) : m_out(out) {}
    ~CJsonWriter() { Flush(); }
    CJsonWriter(const CJsonWriter&) = delete;
    CJsonWriter& operator=(const CJsonWriter&) = delete;

    void BeginObject(std::string_view key = {});
    void EndObject();
    void BeginArray(std::string_view key = {});
    void EndArray();

    void Key(std::string_view key);
    // Record text (cp1252).
    void String(std::string_view key, std::string_view cp1252);
    void Int(std::string_view key, int64_t value);
    void Bool(std::string_view key, bool value);
    // Non-finite values, which JSON lacks, become the strings "inf", "-inf", "nan".
    void Double(std::string_view key, double value);

    // An array of numbers on one line.
    template <class T> void Values(std::string_view key, const T* data, size_t n)
    {
        Separator(key);
        Raw("[");
        for (size_t i = 0; i < n; ++i) {
            if (i > 0)
                Raw(", ");
            Number(data[i]);
        }
        Raw("]");
    }

    // False when the output could not be written.
    bool Flush();

private:
    void Separator(std::string_view key);
    void Number(double v);
    void Number(int64_t v);
    void Number(int v) { Number(static_cast<int64_t>(v)); }
    void Number(unsigned char v) { Number(static_cast<int64_t>(v)); }
    void Raw(std::string_view s);
    void Quoted(std::string_view utf8);

    std::FILE* m_out;
    std::string m_buf;
    std::vector<bool> m_first; // per open container: nothing written in it yet
    bool m_bFailed = false;
};
