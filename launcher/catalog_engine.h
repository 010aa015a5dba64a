// The product's catalog engine: an in-process COM server that lives outside
// this program. Only three of its methods are called; the others keep their
// places in the table of function pointers and are never called.
#pragma once

#include <windows.h>
#include <ole2.h>

// {7E3D9A52-4B1F-4C6A-9E21-5D8C0B7A3F62}
static const CLSID kCatalogEngineClsid = {
    0x7E3D9A52, 0x4B1F, 0x4C6A, {0x9E, 0x21, 0x5D, 0x8C, 0x0B, 0x7A, 0x3F, 0x62}};
// {7E3D9A51-4B1F-4C6A-9E21-5D8C0B7A3F62}
static const IID kCatalogEngineIid = {
    0x7E3D9A51, 0x4B1F, 0x4C6A, {0x9E, 0x21, 0x5D, 0x8C, 0x0B, 0x7A, 0x3F, 0x62}};

// Slots are counted from QueryInterface as 0. The engine is reached only
// through this table, so every placeholder must stay where it is: PreOpen
// has to land in slot 16 and OpenCatalog in slot 24. No data members and
// no destructor, so the object is exactly one table pointer, as COM expects.
struct ICatalogEngine : public IUnknown {
    // Slots 3 to 15: not called.
    virtual HRESULT STDMETHODCALLTYPE Unused03() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused04() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused05() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused06() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused07() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused08() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused09() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused10() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused11() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused12() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused13() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused14() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused15() = 0;

    // Slot 16: prepares the engine for opening a catalog.
    virtual HRESULT STDMETHODCALLTYPE PreOpen(LONG value) = 0;

    // Slots 17 to 23: not called.
    virtual HRESULT STDMETHODCALLTYPE Unused17() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused18() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused19() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused20() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused21() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused22() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused23() = 0;

    // Slot 24: opens the catalog named by path (VT_BSTR); result->boolVal
    // is VARIANT_TRUE when the engine accepted it.
    virtual HRESULT STDMETHODCALLTYPE OpenCatalog(VARIANT* path, VARIANT* result) = 0;
};
