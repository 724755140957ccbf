#include "UGrid/model/UGTextOps.h"

#include "platform/AsciiCase.h"

#include <algorithm>
#include <cctype>

std::string UGColumnLetters(int col)
{
    std::string letters;
    // Bijective base 26: each place counts 1..26, so no column repeats a label.
    for (long long n = col; n >= 0; n = n / 26 - 1)
        letters.insert(letters.begin(), char('A' + n % 26));
    return letters;
}

std::string UGJoinCellTexts(const std::vector<UGCellText>& cells)
{
    std::string out;
    for (size_t i = 0; i < cells.size(); ++i) {
        if (i > 0)
            out += cells[i].row == cells[i - 1].row ? '\t' : '\n';
        out += cells[i].text;
    }
    return out;
}

std::vector<UGPasteField> UGSplitPasteText(std::string_view text)
{
    std::vector<UGPasteField> fields;
    int col = 0;
    long row = 0;
    size_t i = 0;
    while (i < text.size()) {
        const size_t end = text.find_first_of("\t\r\n", i);
        const size_t stop = end == std::string_view::npos ? text.size() : end;
        fields.push_back({col, row, std::string(text.substr(i, stop - i))});
        if (stop == text.size())
            break;
        if (text[stop] == '\t') {
            ++col;
            i = stop + 1;
        } else {
            col = 0;
            ++row;
            i = stop + 1;
            if (text[stop] == '\r' && i < text.size() && text[i] == '\n')
                ++i;
        }
    }
    return fields;
}

namespace {
std::string Upper(std::string_view s)
{
    return AsciiToUpper(s);
}
} // namespace

bool UGReplaceAllLoops(const std::string& search, const std::string& replacement, bool matchCase,
                       bool partMatch)
{
    const std::string s = matchCase ? search : Upper(search);
    const std::string r = matchCase ? replacement : Upper(replacement);
    if (r == s)
        return true;
    return partMatch && r.find(s) != std::string::npos;
}

bool UGReplaceInText(const std::string& cellText, const std::string& search, const std::string& replacement,
                     bool matchCase, bool partMatch, std::string* result)
{
    const std::string hay = matchCase ? cellText : Upper(cellText);
    const std::string needle = matchCase ? search : Upper(search);
    if (!partMatch) {
        if (hay != needle)
            return false;
        *result = replacement;
        return true;
    }
    if (needle.empty())
        return false;
    // Case folding keeps lengths, so places found in the folded text hold in the cell's own.
    std::string out;
    size_t from = 0;
    for (size_t at = hay.find(needle); at != std::string::npos; at = hay.find(needle, from)) {
        out.append(cellText, from, at - from);
        out += replacement;
        from = at + needle.size();
    }
    if (from == 0)
        return false;
    out.append(cellText, from, std::string::npos);
    *result = out;
    return true;
}
