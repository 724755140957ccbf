#pragma once
// The input-mask rules of the masked editor: the position and literal tables
// built from a mask, the test of one typed character and the rewrite of a whole
// text. Kept apart from the edit window so the rules are tested on their own.

#include <string>

class CUGMask
{
public:
    static constexpr char kLiteral = 8; // marks a literal place in the position table
    static constexpr const char* kMaskChars = "09#L?Aa&C";

    // Builds the tables; nullptr or "" switches the mask off.
    void SetMask(const char* mask);
    bool IsOn() const { return m_on; }
    const std::string& Positions() const { return m_positions; }
    const std::string& Literals() const { return m_literals; }
    // Whether the mask character accepts ch.
    static bool Accepts(char maskChar, unsigned char ch);
    // Rewrites text through the mask; 1 when the mask is off (text unchanged), else 0.
    int ApplyMask(std::string& text) const;
    // The mask check of one typed character with the selection [selStart, selEnd).
    // For a printable character with the mask on, the selection is deleted and a
    // literal standing at the caret is typed first (text and caret change). Returns
    // whether the caller may insert ch at the caret; a character past the end of
    // the mask is refused. Other characters are left to the caller untouched.
    bool TypeChar(std::string& text, int& selStart, int& selEnd, unsigned char ch) const;

private:
    bool m_on = false;
    std::string m_mask;
    std::string m_positions;
    std::string m_literals;
};
