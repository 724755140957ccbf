#pragma once
// Point symbols of a curve: cross, hollow square and downward triangle, of the
// same physical size on every device. Symbols are shared: a curve keeps a
// pointer; the view that made the symbol keeps it alive.

#include "app/plot/PlotTypes.h"

#include <memory>

class QPainter;

class CSymbol
{
public:
    // Half-size of every symbol in HIMETRIC units (0.76 mm).
    static constexpr int DEFAULT_SIZE = 76;

    virtual ~CSymbol() = default;
    // A new symbol of the same kind, owned by the caller.
    virtual std::unique_ptr<CSymbol> Create() const = 0;
    // Draws the figure around point (device pixels) with the painter's pen.
    virtual void Draw(QPainter* pDC, CPoint point) const = 0;

    // DEFAULT_SIZE in device pixels of the painter's device.
    static int HalfSizePixels(QPainter* pDC);
};

class CSymbolCross : public CSymbol
{
public:
    std::unique_ptr<CSymbol> Create() const override { return std::make_unique<CSymbolCross>(); }
    void Draw(QPainter* pDC, CPoint point) const override;
};

class CSymbolSquare : public CSymbol
{
public:
    std::unique_ptr<CSymbol> Create() const override { return std::make_unique<CSymbolSquare>(); }
    // Outline only: what lies under the square stays visible.
    void Draw(QPainter* pDC, CPoint point) const override;
};

class CSymbolTriangle : public CSymbol
{
public:
    std::unique_ptr<CSymbol> Create() const override { return std::make_unique<CSymbolTriangle>(); }
    // One corner below the point, the flat side above it.
    void Draw(QPainter* pDC, CPoint point) const override;
};
