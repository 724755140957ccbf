#include "UGrid/model/UGCell.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <new>

void CUGFormat::ApplyFormat(CUGCell*) {}
int CUGFormat::VerifyFormat(CUGCell*)
{
    return 0;
}

namespace ug {

long LeadingLong(const char* text)
{
    if (!text)
        return 0;
    const char* p = text;
    while (*p && std::isspace(static_cast<unsigned char>(*p)))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-')
        negative = *p++ == '-';
    long long value = 0;
    while (*p >= '0' && *p <= '9') {
        const int digit = *p++ - '0';
        if (value > (LONG_MAX - digit) / 10) {
            value = LONG_MAX;
            break;
        }
        value = value * 10 + digit;
    }
    return long(negative ? -value : value);
}

double LeadingDouble(const char* text)
{
    if (!text)
        return 0;
    const char* p = text;
    while (*p && std::isspace(static_cast<unsigned char>(*p)))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-')
        negative = *p++ == '-';
    if (*p == '+' || *p == '-')
        return 0;
    double value = 0;
    const char* end = p + std::strlen(p);
    auto result = std::from_chars(p, end, value, std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        // from_chars leaves the value alone here; strtod gives the saturated value.
        value = HUGE_VAL;
        const char* q = p;
        while (q < end && (std::isdigit(static_cast<unsigned char>(*q)) || *q == '.'))
            ++q;
        if (q < end && (*q == 'e' || *q == 'E') && q + 1 < end && q[1] == '-')
            value = 0;
    } else if (result.ec != std::errc()) {
        value = 0;
    }
    return negative ? -value : value;
}

std::string FormatFixed(double value, int decimals)
{
    const int precision = decimals < 0 ? 6 : std::min(decimals, 100);
    char buffer[512];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, precision);
    if (result.ec != std::errc())
        return std::string();
    return std::string(buffer, result.ptr);
}

} // namespace ug

CUGCell::CUGCell(const CUGCell& other)
{
    *this = other;
}

CUGCell& CUGCell::operator=(const CUGCell& other)
{
    if (this != &other) {
        m_propSetFlags = 0;
        m_string = other.m_string;
        m_mask = other.m_mask;
        m_label = other.m_label;
        CopyInfoFrom(&other);
    }
    return *this;
}

void CUGCell::ClearAll()
{
    m_propSetFlags = 0;
    m_string.clear();
    m_extraMem.reset();
    m_extraMemSize = 0;
}

void CUGCell::SetDefaultInfo()
{
    m_propSetFlags = UGCELL_TEXT | UGCELL_MASK | UGCELL_LABEL | UGCELL_TEXTCOLOR | UGCELL_BACKCOLOR |
                     UGCELL_HTEXTCOLOR | UGCELL_HBACKCOLOR | UGCELL_ALIGNMENT;
    m_string.clear();
    m_mask.clear();
    m_label.clear();
    m_format = nullptr;
    m_cellStyle = nullptr;
    m_textColor = UGGetSysColor(UG_COLOR_WINDOWTEXT);
    m_backColor = UGGetSysColor(UG_COLOR_WINDOW);
    m_hTextColor = UGGetSysColor(UG_COLOR_HIGHLIGHTTEXT);
    m_hBackColor = UGGetSysColor(UG_COLOR_HIGHLIGHT);
    m_alignment = 0;
}

void CUGCell::CopySetProperties(const CUGCell& s)
{
    const unsigned long f = s.m_propSetFlags;
    if (f & UGCELL_FORMAT)
        m_format = s.m_format;
    if (f & UGCELL_STYLE)
        m_cellStyle = s.m_cellStyle;
    if (f & UGCELL_TEXT)
        m_string = s.m_string;
    if (f & UGCELL_MASK)
        m_mask = s.m_mask;
    if (f & UGCELL_LABEL)
        m_label = s.m_label;
    if (f & UGCELL_DATATYPE)
        m_dataType = s.m_dataType;
    if (f & UGCELL_READONLY)
        m_readOnly = s.m_readOnly;
    if (f & UGCELL_PARAM)
        m_param = s.m_param;
    if (f & UGCELL_DECIMALS)
        m_numDecimals = s.m_numDecimals;
    if (f & UGCELL_CELLTYPE)
        m_cellType = s.m_cellType;
    if (f & UGCELL_CELLTYPEPARAM)
        m_cellTypeParam = s.m_cellTypeParam;
    if (f & UGCELL_TEXTCOLOR)
        m_textColor = s.m_textColor;
    if (f & UGCELL_BACKCOLOR)
        m_backColor = s.m_backColor;
    if (f & UGCELL_HTEXTCOLOR)
        m_hTextColor = s.m_hTextColor;
    if (f & UGCELL_HBACKCOLOR)
        m_hBackColor = s.m_hBackColor;
    if (f & UGCELL_BORDER)
        m_borderStyle = s.m_borderStyle;
    if (f & UGCELL_BORDERPEN)
        m_borderPen = s.m_borderPen;
    if (f & UGCELL_FONT)
        m_font = s.m_font;
    if (f & UGCELL_BITMAP)
        m_bitmap = s.m_bitmap;
    if (f & UGCELL_ALIGNMENT)
        m_alignment = s.m_alignment;
    if (f & UGCELL_EXTRAMEM) {
        void* block = AllocExtraMem(s.m_extraMemSize);
        if (block && s.m_extraMemSize > 0)
            std::memcpy(block, s.m_extraMem.get(), size_t(s.m_extraMemSize));
    }
    if (f & UGCELL_JOIN) {
        m_joinOrigin = s.m_joinOrigin;
        m_joinRow = s.m_joinRow;
        m_joinCol = s.m_joinCol;
    }
}

int CUGCell::CopyInfoTo(CUGCell* dest) const
{
    return dest ? dest->CopyInfoFrom(this) : 1;
}

int CUGCell::CopyInfoFrom(const CUGCell* src)
{
    if (!src)
        return 1;
    if (src == this)
        return 0;
    m_propSetFlags = src->m_propSetFlags;
    CopySetProperties(*src);
    // A block that could not be duplicated stays unset (CopySetProperties cleared it).
    if ((src->m_propSetFlags & UGCELL_EXTRAMEM) && !m_extraMem)
        m_propSetFlags &= ~UGCELL_EXTRAMEM;
    return 0;
}

int CUGCell::CopyCellInfo(const CUGCell* src, CUGCell* dest)
{
    return dest ? dest->CopyInfoFrom(src) : 1;
}

int CUGCell::AddInfoTo(CUGCell* dest) const
{
    return dest ? dest->AddInfoFrom(this) : 1;
}

int CUGCell::AddInfoFrom(const CUGCell* src)
{
    if (!src)
        return 1;
    if (src == this)
        return 0;
    const bool hadBlock = (src->m_propSetFlags & UGCELL_EXTRAMEM) != 0;
    m_propSetFlags |= src->m_propSetFlags;
    CopySetProperties(*src);
    if (hadBlock && !m_extraMem)
        m_propSetFlags &= ~UGCELL_EXTRAMEM;
    return 0;
}

int CUGCell::SetText(const char* text)
{
    m_string = text ? text : "";
    m_dataType = UGDATA_TEXT;
    m_propSetFlags |= UGCELL_TEXT | UGCELL_DATATYPE;
    return 0;
}

int CUGCell::AppendText(const char* text)
{
    if (!(m_propSetFlags & UGCELL_TEXT))
        m_string.clear();
    if (text)
        m_string += text;
    m_dataType = UGDATA_TEXT;
    m_propSetFlags |= UGCELL_TEXT | UGCELL_DATATYPE;
    return 0;
}

int CUGCell::GetTextString(std::string& text) const
{
    if (!(m_propSetFlags & UGCELL_TEXT))
        return 1;
    text = m_string;
    return 0;
}

const char* CUGCell::GetText() const
{
    return (m_propSetFlags & UGCELL_TEXT) ? m_string.c_str() : nullptr;
}

int CUGCell::GetTextLength() const
{
    return (m_propSetFlags & UGCELL_TEXT) ? int(m_string.size()) : 0;
}

int CUGCell::SetMask(const char* mask)
{
    m_mask = mask ? mask : "";
    m_propSetFlags |= UGCELL_MASK;
    return 0;
}

int CUGCell::GetMaskString(std::string& mask) const
{
    if (!(m_propSetFlags & UGCELL_MASK))
        return 1;
    mask = m_mask;
    return 0;
}

const char* CUGCell::GetMask() const
{
    return (m_propSetFlags & UGCELL_MASK) ? m_mask.c_str() : nullptr;
}

int CUGCell::SetLabel(const char* label)
{
    m_label = label ? label : "";
    m_propSetFlags |= UGCELL_LABEL;
    return 0;
}

int CUGCell::GetLabelString(std::string& label) const
{
    if (!(m_propSetFlags & UGCELL_LABEL))
        return 1;
    label = m_label;
    return 0;
}

const char* CUGCell::GetLabel() const
{
    return (m_propSetFlags & UGCELL_LABEL) ? m_label.c_str() : nullptr;
}

int CUGCell::SetNumber(double number)
{
    m_string = ug::FormatFixed(number, (m_propSetFlags & UGCELL_DECIMALS) ? m_numDecimals : -1);
    m_dataType = UGDATA_NUMBER;
    m_propSetFlags |= UGCELL_TEXT | UGCELL_DATATYPE;
    return 0;
}

int CUGCell::SetBool(int state)
{
    m_string = state ? "1" : "0";
    m_dataType = UGDATA_BOOL;
    m_propSetFlags |= UGCELL_TEXT | UGCELL_DATATYPE;
    return 0;
}

int CUGCell::GetBool() const
{
    if (!(m_propSetFlags & UGCELL_TEXT) || m_string.empty())
        return 0;
    if (m_string[0] == 'T' || m_string[0] == 't')
        return 1;
    return ug::LeadingLong(m_string.c_str()) != 0 ? 1 : 0;
}

int CUGCell::GetNumber(int* number) const
{
    if (!(m_propSetFlags & UGCELL_TEXT) || !number)
        return 1;
    const long v = ug::LeadingLong(m_string.c_str());
    *number = int(std::clamp<long>(v, INT_MIN, INT_MAX));
    return 0;
}

int CUGCell::GetNumber(long* number) const
{
    if (!(m_propSetFlags & UGCELL_TEXT) || !number)
        return 1;
    *number = ug::LeadingLong(m_string.c_str());
    return 0;
}

int CUGCell::GetNumber(float* number) const
{
    if (!(m_propSetFlags & UGCELL_TEXT) || !number)
        return 1;
    *number = float(ug::LeadingDouble(m_string.c_str()));
    return 0;
}

int CUGCell::GetNumber(double* number) const
{
    if (!(m_propSetFlags & UGCELL_TEXT) || !number)
        return 1;
    *number = ug::LeadingDouble(m_string.c_str());
    return 0;
}

double CUGCell::GetNumber() const
{
    return (m_propSetFlags & UGCELL_TEXT) ? ug::LeadingDouble(m_string.c_str()) : 0.0;
}

int CUGCell::SetNumberDecimals(int number)
{
    m_numDecimals = short(number);
    m_propSetFlags |= UGCELL_DECIMALS;
    return 0;
}

int CUGCell::GetNumberDecimals() const
{
    return PropertyOr(m_numDecimals, UGCELL_DECIMALS, 0);
}

int CUGCell::StringToBool(const std::string& text, int* result)
{
    if (!result)
        return 1;
    const char c = text.empty() ? '\0' : text[0];
    *result = (c == '0' || c == 'F' || c == 'f') ? 0 : 1;
    return 0;
}

int CUGCell::StringToNumber(const std::string& text, double* result) const
{
    if (!result)
        return 1;
    // Digits, minus signs and the first decimal point; the fraction keeps at most
    // the cell's number of decimals. The fraction is kept (not truncated away).
    std::string kept;
    bool point = false;
    int fraction = 0;
    const int decimals = GetNumberDecimals();
    for (char c : text) {
        if (c == '.' && !point) {
            point = true;
            if (fraction < decimals + 1 || decimals <= 0) {
                kept += c;
                fraction = 1;
            }
            continue;
        }
        if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '-'))
            continue;
        if (point) {
            if (fraction >= decimals + 1)
                continue;
            ++fraction;
        }
        kept += c;
    }
    *result = ug::LeadingDouble(kept.c_str());
    return 0;
}

int CUGCell::SetDataType(short type)
{
    return SetProperty(m_dataType, type, UGCELL_DATATYPE);
}
short CUGCell::GetDataType() const
{
    return PropertyOr(m_dataType, UGCELL_DATATYPE, short(UGDATA_TEXT));
}

int CUGCell::SetTextColor(COLORREF c)
{
    return SetProperty(m_textColor, c, UGCELL_TEXTCOLOR);
}
COLORREF CUGCell::GetTextColor() const
{
    return PropertyOr(m_textColor, UGCELL_TEXTCOLOR, UGGetSysColor(UG_COLOR_WINDOWTEXT));
}
int CUGCell::SetBackColor(COLORREF c)
{
    return SetProperty(m_backColor, c, UGCELL_BACKCOLOR);
}
COLORREF CUGCell::GetBackColor() const
{
    return PropertyOr(m_backColor, UGCELL_BACKCOLOR, UGGetSysColor(UG_COLOR_WINDOW));
}
int CUGCell::SetHTextColor(COLORREF c)
{
    return SetProperty(m_hTextColor, c, UGCELL_HTEXTCOLOR);
}
COLORREF CUGCell::GetHTextColor() const
{
    return PropertyOr(m_hTextColor, UGCELL_HTEXTCOLOR, UGGetSysColor(UG_COLOR_HIGHLIGHTTEXT));
}
int CUGCell::SetHBackColor(COLORREF c)
{
    return SetProperty(m_hBackColor, c, UGCELL_HBACKCOLOR);
}
COLORREF CUGCell::GetHBackColor() const
{
    return PropertyOr(m_hBackColor, UGCELL_HBACKCOLOR, UGGetSysColor(UG_COLOR_HIGHLIGHT));
}
int CUGCell::SetAlignment(short align)
{
    return SetProperty(m_alignment, align, UGCELL_ALIGNMENT);
}
short CUGCell::GetAlignment() const
{
    return PropertyOr(m_alignment, UGCELL_ALIGNMENT, 0);
}
int CUGCell::SetBorder(short style)
{
    return SetProperty(m_borderStyle, style, UGCELL_BORDER);
}
short CUGCell::GetBorder() const
{
    return PropertyOr(m_borderStyle, UGCELL_BORDER, 0);
}
int CUGCell::SetBorderPen(CPen* pen)
{
    return SetProperty(m_borderPen, pen, UGCELL_BORDERPEN);
}
CPen* CUGCell::GetBorderPen() const
{
    return PropertyOr(m_borderPen, UGCELL_BORDERPEN, nullptr);
}
int CUGCell::SetFont(CFont* font)
{
    return SetProperty(m_font, font, UGCELL_FONT);
}
CFont* CUGCell::GetFont() const
{
    return PropertyOr(m_font, UGCELL_FONT, nullptr);
}
int CUGCell::SetBitmap(CBitmap* bitmap)
{
    m_bitmap = bitmap;
    if (bitmap)
        m_propSetFlags |= UGCELL_BITMAP;
    else
        m_propSetFlags &= ~UGCELL_BITMAP;
    return 0;
}
CBitmap* CUGCell::GetBitmap() const
{
    return PropertyOr(m_bitmap, UGCELL_BITMAP, nullptr);
}
int CUGCell::SetReadOnly(int state)
{
    m_readOnly = state ? 1 : 0;
    m_propSetFlags |= UGCELL_READONLY;
    return 0;
}
int CUGCell::GetReadOnly() const
{
    return PropertyOr(m_readOnly, UGCELL_READONLY, 0);
}
int CUGCell::SetCellType(int index)
{
    return SetProperty(m_cellType, index, UGCELL_CELLTYPE);
}
int CUGCell::GetCellType() const
{
    return PropertyOr(m_cellType, UGCELL_CELLTYPE, 0);
}
int CUGCell::SetCellTypeParam(long param)
{
    return SetProperty(m_cellTypeParam, param, UGCELL_CELLTYPEPARAM);
}
long CUGCell::GetCellTypeParam() const
{
    return PropertyOr(m_cellTypeParam, UGCELL_CELLTYPEPARAM, 0);
}
int CUGCell::SetParam(long param)
{
    return SetProperty(m_param, param, UGCELL_PARAM);
}
long CUGCell::GetParam() const
{
    return PropertyOr(m_param, UGCELL_PARAM, 0);
}
int CUGCell::SetCellStyle(CUGCell* style)
{
    return SetProperty(m_cellStyle, style, UGCELL_STYLE);
}
CUGCell* CUGCell::GetCellStyle() const
{
    return PropertyOr(m_cellStyle, UGCELL_STYLE, nullptr);
}
int CUGCell::SetFormatClass(CUGFormat* format)
{
    if (!format)
        return 1;
    m_format = format;
    m_propSetFlags |= UGCELL_FORMAT;
    return 0;
}
CUGFormat* CUGCell::GetFormatClass() const
{
    return PropertyOr(m_format, UGCELL_FORMAT, nullptr);
}

int CUGCell::SetJoinInfo(int startFlag, int colValue, long rowValue)
{
    m_joinOrigin = startFlag;
    m_joinCol = colValue;
    m_joinRow = rowValue;
    m_propSetFlags |= UGCELL_JOIN;
    return 0;
}

int CUGCell::GetJoinInfo(int* startFlag, int* colValue, long* rowValue) const
{
    if (!(m_propSetFlags & UGCELL_JOIN))
        return 1;
    if (startFlag)
        *startFlag = m_joinOrigin;
    if (colValue)
        *colValue = m_joinCol;
    if (rowValue)
        *rowValue = m_joinRow;
    return 0;
}

void* CUGCell::AllocExtraMem(long size)
{
    m_extraMem.reset();
    m_extraMemSize = 0;
    m_propSetFlags &= ~UGCELL_EXTRAMEM;
    if (size < 0)
        return nullptr;
    unsigned char* block = new (std::nothrow) unsigned char[size_t(size) + 1]();
    if (!block)
        return nullptr;
    m_extraMem.reset(block);
    m_extraMemSize = size;
    m_propSetFlags |= UGCELL_EXTRAMEM;
    return block;
}

int CUGCell::ClearExtraMem()
{
    m_propSetFlags &= ~UGCELL_EXTRAMEM;
    m_extraMem.reset();
    m_extraMemSize = 0;
    return 0;
}

void* CUGCell::GetExtraMemPtr() const
{
    return (m_propSetFlags & UGCELL_EXTRAMEM) ? m_extraMem.get() : nullptr;
}
long CUGCell::GetExtraMemSize() const
{
    return PropertyOr(m_extraMemSize, UGCELL_EXTRAMEM, 0);
}

int CUGCell::SetPropertyFlags(unsigned long mask)
{
    m_propSetFlags = mask;
    return 0;
}

int CUGCell::ClearPropertyFlags(unsigned long bits)
{
    m_propSetFlags &= ~bits;
    return 0;
}
