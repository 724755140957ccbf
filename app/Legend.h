#pragma once
// A small child window that explains the curves of a plot window: one line
// per entry with a sample of the curve's pen, the curve's symbol in the middle
// of it and a label. It sizes itself to its entries and sits in the top-right
// corner of its parent. Pens and symbols stay their owner's; the legend keeps
// their addresses. The owner sets the number of entries, then every entry,
// then calls Reposition with its client size.

#include <QFont>
#include <QSize>
#include <QWidget>
#include <string>
#include <vector>

class CSymbol;
class QPen;

class CLegend : public QWidget
{
    Q_OBJECT
public:
    explicit CLegend(QWidget* parent = nullptr);
    ~CLegend() override;

    void SetNumEntries(int n);
    int GetNumEntries() const { return m_nEntries; }
    // Out-of-range indices are ignored.
    void SetPen(const QPen* pPen, int i);
    void SetSymbol(const CSymbol* pSymbol, int i);
    void SetLabel(const std::string& s, int i);
    // Entry i's label (UTF-8), empty when there is none.
    std::string GetLabel(int i) const
    {
        return i >= 0 && i < m_nEntries ? m_csaLabels[size_t(i)] : std::string();
    }

    // Computes the size and moves the legend into the top-right corner of a
    // parent cx pixels wide; entries that overrun a parent cy high go on in
    // further columns.
    void Reposition(unsigned nType, int cx, int cy);
    QSize GetLegendSize() const { return m_Size; }

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    // 10 mm in pixels of this window's screen.
    int SampleLength() const;

    std::vector<std::string> m_csaLabels;
    std::vector<const QPen*> m_aPens;
    std::vector<const CSymbol*> m_aSymbols;
    QFont m_Font;
    QSize m_Size{0, 0};
    int m_nEntries = 0;
    int m_nRows = 0; // entries per column, from Reposition
};
