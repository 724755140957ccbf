#pragma once
// The font an axis labels with: the axis class's shared default font until a
// printer needs one of the same physical size, which the axis then owns. A
// copy shares the default font, or owns a copy of the source's own font.

#include <QFont>
#include <memory>

class QPainter;

namespace plot {

// What a new axis of either kind starts with.
struct SAxisDefaults
{
    QFont m_Font;
    bool m_bVisible = true;
};
SAxisDefaults& AxisDefaults();

class CAxisFont
{
public:
    explicit CAxisFont(const QFont& shared) : m_pShared(&shared), m_pFont(&shared) {}
    CAxisFont(const CAxisFont& src);
    CAxisFont& operator=(const CAxisFont&) = delete;

    const QFont* Get() const { return m_pFont; }
    // Takes a printer font of the same physical size when pDC draws on a printer.
    void SetForDevice(QPainter* pDC);

private:
    const QFont* m_pShared;
    const QFont* m_pFont;
    std::unique_ptr<QFont> m_ownFont; // m_pFont when not the shared font
};

} // namespace plot
