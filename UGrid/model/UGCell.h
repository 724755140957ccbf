#pragma once
// The property set of one grid cell, with a mask of the properties that are set.
// A property whose bit is clear reads as its default.

#include "UGrid/model/UGTypes.h"

#include <cstddef>
#include <memory>
#include <string>
#include <type_traits>

enum : unsigned long
{
    UGCELL_TEXT = 0x1,
    UGCELL_MASK = 0x2,
    UGCELL_LABEL = 0x4,
    UGCELL_DATATYPE = 0x8,
    UGCELL_PARAM = 0x10,
    UGCELL_CELLTYPE = 0x20,
    UGCELL_CELLTYPEPARAM = 0x40,
    UGCELL_TEXTCOLOR = 0x80,
    UGCELL_BACKCOLOR = 0x100,
    UGCELL_HTEXTCOLOR = 0x200,
    UGCELL_HBACKCOLOR = 0x400,
    UGCELL_BORDER = 0x800,
    UGCELL_BORDERPEN = 0x1000,
    UGCELL_FONT = 0x2000,
    UGCELL_BITMAP = 0x4000,
    UGCELL_ALIGNMENT = 0x8000,
    UGCELL_EXTRAMEM = 0x10000,
    UGCELL_JOIN = 0x20000,
    UGCELL_FORMAT = 0x200000,
    UGCELL_STYLE = 0x800000,
    UGCELL_READONLY = 0x1000000,
    UGCELL_DECIMALS = 0x2000000,
};

enum : short
{
    UGDATA_TEXT = 1,
    UGDATA_NUMBER = 2,
    UGDATA_BOOL = 3,
};

class CUGCell;

// A display format a program may name in cells; the grid applies it on every
// composed fetch.
class CUGFormat
{
public:
    virtual ~CUGFormat() = default;
    virtual void ApplyFormat(CUGCell* cell);
    virtual int VerifyFormat(CUGCell* cell);
};

class CUGCell
{
public:
    CUGCell() = default;
    ~CUGCell() = default;
    CUGCell(const CUGCell& other);
    CUGCell& operator=(const CUGCell& other);

    void ClearAll();
    void SetDefaultInfo();

    int CopyInfoTo(CUGCell* dest) const;
    int CopyInfoFrom(const CUGCell* src);
    static int CopyCellInfo(const CUGCell* src, CUGCell* dest);
    int AddInfoTo(CUGCell* dest) const;
    int AddInfoFrom(const CUGCell* src);

    int SetText(const char* text);
    int AppendText(const char* text);
    int GetTextString(std::string& text) const;
    // The text, or nullptr when none is set. Valid until the cell changes.
    const char* GetText() const;
    int GetTextLength() const;

    int SetMask(const char* mask);
    int GetMaskString(std::string& mask) const;
    const char* GetMask() const;

    int SetLabel(const char* label);
    int GetLabelString(std::string& label) const;
    const char* GetLabel() const;

    int SetNumber(double number);
    int SetBool(int state);
    int GetBool() const;
    int GetNumber(int* number) const;
    int GetNumber(long* number) const;
    int GetNumber(float* number) const;
    int GetNumber(double* number) const;
    double GetNumber() const;
    int SetNumberDecimals(int number);
    int GetNumberDecimals() const;

    static int StringToBool(const std::string& text, int* result);
    int StringToNumber(const std::string& text, double* result) const;

    int SetDataType(short type);
    short GetDataType() const;
    int SetTextColor(COLORREF c);
    COLORREF GetTextColor() const;
    int SetBackColor(COLORREF c);
    COLORREF GetBackColor() const;
    int SetHTextColor(COLORREF c);
    COLORREF GetHTextColor() const;
    int SetHBackColor(COLORREF c);
    COLORREF GetHBackColor() const;
    int SetAlignment(short align);
    short GetAlignment() const;
    int SetBorder(short style);
    short GetBorder() const;
    int SetBorderPen(CPen* pen);
    CPen* GetBorderPen() const;
    int SetFont(CFont* font);
    CFont* GetFont() const;
    int SetBitmap(CBitmap* bitmap);
    CBitmap* GetBitmap() const;
    int SetReadOnly(int state);
    int GetReadOnly() const;
    int SetCellType(int index);
    int GetCellType() const;
    int SetCellTypeParam(long param);
    long GetCellTypeParam() const;
    int SetParam(long param);
    long GetParam() const;
    int SetCellStyle(CUGCell* style);
    CUGCell* GetCellStyle() const;
    int SetFormatClass(CUGFormat* format);
    CUGFormat* GetFormatClass() const;

    int SetJoinInfo(int startFlag, int colValue, long rowValue);
    int GetJoinInfo(int* startFlag, int* colValue, long* rowValue) const;

    void* AllocExtraMem(long size);
    int ClearExtraMem();
    void* GetExtraMemPtr() const;
    long GetExtraMemSize() const;

    int IsPropertySet(unsigned long bits) const { return (m_propSetFlags & bits) != 0; }
    int SetPropertyFlags(unsigned long mask);
    unsigned long GetPropertyFlags() const { return m_propSetFlags; }
    int ClearPropertyFlags(unsigned long bits);
    int ClearProperty(unsigned long bits) { return ClearPropertyFlags(bits); }

private:
    void CopySetProperties(const CUGCell& src);
    // A property's value is only meaningful while its flag is set.
    template <class T, class V> int SetProperty(T& field, V value, unsigned long flag)
    {
        field = value;
        m_propSetFlags |= flag;
        return 0;
    }
    template <class T>
    T PropertyOr(const T& field, unsigned long flag, std::type_identity_t<T> fallback) const
    {
        return (m_propSetFlags & flag) ? field : fallback;
    }

    unsigned long m_propSetFlags = 0;
    CUGFormat* m_format = nullptr;
    CUGCell* m_cellStyle = nullptr;
    std::string m_string;
    std::string m_mask;
    std::string m_label;
    short m_dataType = UGDATA_TEXT;
    int m_readOnly = 0;
    long m_param = 0;
    short m_numDecimals = 0;
    int m_cellType = 0;
    long m_cellTypeParam = 0;
    COLORREF m_textColor = 0;
    COLORREF m_backColor = 0;
    COLORREF m_hTextColor = 0;
    COLORREF m_hBackColor = 0;
    short m_borderStyle = 0;
    CPen* m_borderPen = nullptr;
    CFont* m_font = nullptr;
    CBitmap* m_bitmap = nullptr;
    short m_alignment = 0;
    std::unique_ptr<unsigned char[]> m_extraMem;
    long m_extraMemSize = 0;
    int m_joinOrigin = 0;
    long m_joinRow = 0;
    int m_joinCol = 0;
};

// Locale-free helpers shared by the cell and the data sources.
namespace ug {
// The leading integer of a text as atol reads it, saturated instead of overflowing.
long LeadingLong(const char* text);
// The leading floating-point number of a text as strtod reads it, always with '.'.
double LeadingDouble(const char* text);
// "%lf" (decimals < 0) or "%1.<decimals>lf", without the locale.
std::string FormatFixed(double value, int decimals);
} // namespace ug
