#pragma once
// Test doubles of the acquisition sheets: each hands out the page objects it
// holds, so a test fills in pages (or derives its own page doubles) and sets the
// experiment type and stage movement directly.

#include "data/AcquireSheet.h"

template <class Exp, class Stg, class Img> struct CXpsSheetDouble : CAcquireXPS
{
    Exp exp;
    CAcquireXPS_Src src;
    Stg stg;
    CAcquireXPS_Prf prf;
    CAcquireXPS_Rgn rgn;
    Img img;
    int type = Widescan, move = None, fast = 0;

    const CAcquireXPS_Exp* GetExpPage() const override { return &exp; }
    const CAcquireXPS_Src* GetSrcPage() const override { return &src; }
    const CAcquireXPS_Stg* GetStgPage() const override { return &stg; }
    const CAcquireXPS_Prf* GetPrfPage() const override { return &prf; }
    const CAcquireXPS_Rgn* GetRgnPage() const override { return &rgn; }
    const CAcquireXPS_Img* GetImgPage() const override { return &img; }
    int GetExpType() const override { return type; }
    int GetMoveType() const override { return move; }
    int FastScanMode() const override { return fast; }
};

template <class Scn> struct CAesSheetDouble : CAcquireAES
{
    CAcquireAES_Exp exp;
    Scn scn;
    CAcquireAES_Prf prf;
    CAcquireAES_Rgn rgn;
    int type = Widescan;

    const CAcquireAES_Exp* GetExpPage() const override { return &exp; }
    const CAcquireAES_Scn* GetScnPage() const override { return &scn; }
    const CAcquireAES_Prf* GetPrfPage() const override { return &prf; }
    const CAcquireAES_Rgn* GetRgnPage() const override { return &rgn; }
    int GetExpType() const override { return type; }
    bool FastScanMode() const override { return type == FastProfile; }
};
