// pixmoor-decoder.exe decodes into memory and draws nothing, but Qt's static
// GUI library refers to Direct3D, DXGI and DirectWrite from code the decoder
// never runs. Defined here, they keep those libraries out of the decoder's
// imports: each would be loaded and set up in every decoder process, one per
// picture, and would widen what a decoder bug could reach.
#include <windows.h>

extern "C" {

HRESULT WINAPI D3D11CreateDevice(void *, int, HMODULE, UINT, const void *, UINT, UINT, void **, void *, void **)
{
    return E_NOTIMPL;
}

HRESULT WINAPI CreateDXGIFactory1(REFIID, void **) { return E_NOTIMPL; }

HRESULT WINAPI CreateDXGIFactory2(UINT, REFIID, void **) { return E_NOTIMPL; }

HRESULT WINAPI DWriteCreateFactory(int, REFIID, IUnknown **) { return E_NOTIMPL; }

}  // extern "C"
