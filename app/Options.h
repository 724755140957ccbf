#pragma once
// The display options: the full-scale mode word (minimum in bits 0..2,
// maximum in bits 8..9) and the profile mode word (1 stacked, 2 offset),
// both kept in the user settings. The sheet edits them on one page.

#include "framework/ui/PropertySheet.h"

#include <cstdint>

class COptionsSpecDisp : public CPropertyPage
{
    Q_OBJECT
public:
    COptionsSpecDisp();

    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    void OnOK() override;

    // Decoding of the words into radio indexes (-1: no radio of the group).
    static int MinIndex(int32_t fullscale);
    static int MaxIndex(int32_t fullscale);
    static int ProfileIndex(int32_t profile);

    int m_iMaxRadio = -1;
    int m_iMinRadio = -1;
    int m_iProfileRadio = -1;

private:
    void BuildControls();
};

class COptions : public CPropertySheet
{
    Q_OBJECT
public:
    static constexpr int32_t DefaultFullscale = 260; // maximum of the spectrum, minimum zero
    static constexpr int32_t DefaultProfile = 2;     // offset

    explicit COptions(QWidget* parent = nullptr);
    ~COptions() override;

    static int32_t GetFullscaleMode();
    static int32_t GetProfileMode();

    COptionsSpecDisp m_SpecDisp;
};
