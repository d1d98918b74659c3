// The rest of the Windows SDK's IDirect3DDevice9 and IDirect3DTexture9, for
// the recording objects on the Windows builds. The core calls only the
// methods the recording classes implement (the builds without the SDK
// declare nothing else, so a call to any other would not compile there);
// these exist because the SDK's interfaces are abstract. Each one ends the
// program naming itself, so a call the tracer cannot show is never silently
// dropped from a trace. QueryInterface answers as COM does for an interface
// it does not offer.
#pragma once

#ifdef _WIN32

#include "platform/platform.h"

[[noreturn]] void recording_unexpected_call(const char* method);

#define RECORDING_UNEXPECTED(ret, name, params) \
    ret STDMETHODCALLTYPE name params override  \
    {                                           \
        recording_unexpected_call(#name);       \
    }

#define RECORDING_QUERY_INTERFACE                                            \
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override \
    {                                                                        \
        if (object != nullptr) {                                             \
            *object = nullptr;                                               \
        }                                                                    \
        return E_NOINTERFACE;                                                \
    }

// clang-format off
#define RECORDING_DEVICE_SDK_METHODS                                                                    \
    RECORDING_QUERY_INTERFACE                                                                           \
    RECORDING_UNEXPECTED(HRESULT, TestCooperativeLevel, ())                                             \
    RECORDING_UNEXPECTED(UINT, GetAvailableTextureMem, ())                                              \
    RECORDING_UNEXPECTED(HRESULT, EvictManagedResources, ())                                            \
    RECORDING_UNEXPECTED(HRESULT, GetDirect3D, (IDirect3D9**))                                          \
    RECORDING_UNEXPECTED(HRESULT, GetDeviceCaps, (D3DCAPS9*))                                           \
    RECORDING_UNEXPECTED(HRESULT, GetDisplayMode, (UINT, D3DDISPLAYMODE*))                              \
    RECORDING_UNEXPECTED(HRESULT, GetCreationParameters, (D3DDEVICE_CREATION_PARAMETERS*))              \
    RECORDING_UNEXPECTED(HRESULT, SetCursorProperties, (UINT, UINT, IDirect3DSurface9*))                \
    RECORDING_UNEXPECTED(void, SetCursorPosition, (int, int, DWORD))                                    \
    RECORDING_UNEXPECTED(WINBOOL, ShowCursor, (WINBOOL))                                                \
    RECORDING_UNEXPECTED(HRESULT, CreateAdditionalSwapChain, (D3DPRESENT_PARAMETERS*, IDirect3DSwapChain9**)) \
    RECORDING_UNEXPECTED(HRESULT, GetSwapChain, (UINT, IDirect3DSwapChain9**))                          \
    RECORDING_UNEXPECTED(UINT, GetNumberOfSwapChains, ())                                               \
    RECORDING_UNEXPECTED(HRESULT, GetBackBuffer, (UINT, UINT, D3DBACKBUFFER_TYPE, IDirect3DSurface9**)) \
    RECORDING_UNEXPECTED(HRESULT, GetRasterStatus, (UINT, D3DRASTER_STATUS*))                           \
    RECORDING_UNEXPECTED(HRESULT, SetDialogBoxMode, (WINBOOL))                                          \
    RECORDING_UNEXPECTED(void, SetGammaRamp, (UINT, DWORD, const D3DGAMMARAMP*))                        \
    RECORDING_UNEXPECTED(void, GetGammaRamp, (UINT, D3DGAMMARAMP*))                                     \
    RECORDING_UNEXPECTED(HRESULT, CreateTexture, (UINT, UINT, UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DTexture9**, HANDLE*)) \
    RECORDING_UNEXPECTED(HRESULT, CreateVolumeTexture, (UINT, UINT, UINT, UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DVolumeTexture9**, HANDLE*)) \
    RECORDING_UNEXPECTED(HRESULT, CreateCubeTexture, (UINT, UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DCubeTexture9**, HANDLE*)) \
    RECORDING_UNEXPECTED(HRESULT, CreateVertexBuffer, (UINT, DWORD, DWORD, D3DPOOL, IDirect3DVertexBuffer9**, HANDLE*)) \
    RECORDING_UNEXPECTED(HRESULT, CreateIndexBuffer, (UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DIndexBuffer9**, HANDLE*)) \
    RECORDING_UNEXPECTED(HRESULT, CreateRenderTarget, (UINT, UINT, D3DFORMAT, D3DMULTISAMPLE_TYPE, DWORD, WINBOOL, IDirect3DSurface9**, HANDLE*)) \
    RECORDING_UNEXPECTED(HRESULT, CreateDepthStencilSurface, (UINT, UINT, D3DFORMAT, D3DMULTISAMPLE_TYPE, DWORD, WINBOOL, IDirect3DSurface9**, HANDLE*)) \
    RECORDING_UNEXPECTED(HRESULT, UpdateSurface, (IDirect3DSurface9*, const RECT*, IDirect3DSurface9*, const POINT*)) \
    RECORDING_UNEXPECTED(HRESULT, UpdateTexture, (IDirect3DBaseTexture9*, IDirect3DBaseTexture9*))     \
    RECORDING_UNEXPECTED(HRESULT, GetRenderTargetData, (IDirect3DSurface9*, IDirect3DSurface9*))        \
    RECORDING_UNEXPECTED(HRESULT, GetFrontBufferData, (UINT, IDirect3DSurface9*))                       \
    RECORDING_UNEXPECTED(HRESULT, StretchRect, (IDirect3DSurface9*, const RECT*, IDirect3DSurface9*, const RECT*, D3DTEXTUREFILTERTYPE)) \
    RECORDING_UNEXPECTED(HRESULT, ColorFill, (IDirect3DSurface9*, const RECT*, D3DCOLOR))               \
    RECORDING_UNEXPECTED(HRESULT, CreateOffscreenPlainSurface, (UINT, UINT, D3DFORMAT, D3DPOOL, IDirect3DSurface9**, HANDLE*)) \
    RECORDING_UNEXPECTED(HRESULT, SetRenderTarget, (DWORD, IDirect3DSurface9*))                         \
    RECORDING_UNEXPECTED(HRESULT, GetRenderTarget, (DWORD, IDirect3DSurface9**))                        \
    RECORDING_UNEXPECTED(HRESULT, SetDepthStencilSurface, (IDirect3DSurface9*))                         \
    RECORDING_UNEXPECTED(HRESULT, GetDepthStencilSurface, (IDirect3DSurface9**))                        \
    RECORDING_UNEXPECTED(HRESULT, GetTransform, (D3DTRANSFORMSTATETYPE, D3DMATRIX*))                    \
    RECORDING_UNEXPECTED(HRESULT, MultiplyTransform, (D3DTRANSFORMSTATETYPE, const D3DMATRIX*))         \
    RECORDING_UNEXPECTED(HRESULT, GetViewport, (D3DVIEWPORT9*))                                         \
    RECORDING_UNEXPECTED(HRESULT, SetMaterial, (const D3DMATERIAL9*))                                   \
    RECORDING_UNEXPECTED(HRESULT, GetMaterial, (D3DMATERIAL9*))                                         \
    RECORDING_UNEXPECTED(HRESULT, SetLight, (DWORD, const D3DLIGHT9*))                                  \
    RECORDING_UNEXPECTED(HRESULT, GetLight, (DWORD, D3DLIGHT9*))                                        \
    RECORDING_UNEXPECTED(HRESULT, GetLightEnable, (DWORD, WINBOOL*))                                    \
    RECORDING_UNEXPECTED(HRESULT, SetClipPlane, (DWORD, const float*))                                  \
    RECORDING_UNEXPECTED(HRESULT, GetClipPlane, (DWORD, float*))                                        \
    RECORDING_UNEXPECTED(HRESULT, GetRenderState, (D3DRENDERSTATETYPE, DWORD*))                         \
    RECORDING_UNEXPECTED(HRESULT, CreateStateBlock, (D3DSTATEBLOCKTYPE, IDirect3DStateBlock9**))        \
    RECORDING_UNEXPECTED(HRESULT, BeginStateBlock, ())                                                  \
    RECORDING_UNEXPECTED(HRESULT, EndStateBlock, (IDirect3DStateBlock9**))                              \
    RECORDING_UNEXPECTED(HRESULT, SetClipStatus, (const D3DCLIPSTATUS9*))                               \
    RECORDING_UNEXPECTED(HRESULT, GetClipStatus, (D3DCLIPSTATUS9*))                                     \
    RECORDING_UNEXPECTED(HRESULT, GetTexture, (DWORD, IDirect3DBaseTexture9**))                         \
    RECORDING_UNEXPECTED(HRESULT, GetTextureStageState, (DWORD, D3DTEXTURESTAGESTATETYPE, DWORD*))      \
    RECORDING_UNEXPECTED(HRESULT, SetTextureStageState, (DWORD, D3DTEXTURESTAGESTATETYPE, DWORD))       \
    RECORDING_UNEXPECTED(HRESULT, GetSamplerState, (DWORD, D3DSAMPLERSTATETYPE, DWORD*))                \
    RECORDING_UNEXPECTED(HRESULT, ValidateDevice, (DWORD*))                                             \
    RECORDING_UNEXPECTED(HRESULT, SetPaletteEntries, (UINT, const PALETTEENTRY*))                       \
    RECORDING_UNEXPECTED(HRESULT, GetPaletteEntries, (UINT, PALETTEENTRY*))                             \
    RECORDING_UNEXPECTED(HRESULT, SetCurrentTexturePalette, (UINT))                                     \
    RECORDING_UNEXPECTED(HRESULT, GetCurrentTexturePalette, (UINT*))                                    \
    RECORDING_UNEXPECTED(HRESULT, SetScissorRect, (const RECT*))                                        \
    RECORDING_UNEXPECTED(HRESULT, GetScissorRect, (RECT*))                                              \
    RECORDING_UNEXPECTED(HRESULT, SetSoftwareVertexProcessing, (WINBOOL))                               \
    RECORDING_UNEXPECTED(WINBOOL, GetSoftwareVertexProcessing, ())                                      \
    RECORDING_UNEXPECTED(HRESULT, SetNPatchMode, (float))                                               \
    RECORDING_UNEXPECTED(float, GetNPatchMode, ())                                                      \
    RECORDING_UNEXPECTED(HRESULT, DrawPrimitive, (D3DPRIMITIVETYPE, UINT, UINT))                        \
    RECORDING_UNEXPECTED(HRESULT, DrawIndexedPrimitive, (D3DPRIMITIVETYPE, INT, UINT, UINT, UINT, UINT)) \
    RECORDING_UNEXPECTED(HRESULT, ProcessVertices, (UINT, UINT, UINT, IDirect3DVertexBuffer9*, IDirect3DVertexDeclaration9*, DWORD)) \
    RECORDING_UNEXPECTED(HRESULT, CreateVertexDeclaration, (const D3DVERTEXELEMENT9*, IDirect3DVertexDeclaration9**)) \
    RECORDING_UNEXPECTED(HRESULT, SetVertexDeclaration, (IDirect3DVertexDeclaration9*))                 \
    RECORDING_UNEXPECTED(HRESULT, GetVertexDeclaration, (IDirect3DVertexDeclaration9**))                \
    RECORDING_UNEXPECTED(HRESULT, GetFVF, (DWORD*))                                                     \
    RECORDING_UNEXPECTED(HRESULT, CreateVertexShader, (const DWORD*, IDirect3DVertexShader9**))         \
    RECORDING_UNEXPECTED(HRESULT, SetVertexShader, (IDirect3DVertexShader9*))                           \
    RECORDING_UNEXPECTED(HRESULT, GetVertexShader, (IDirect3DVertexShader9**))                          \
    RECORDING_UNEXPECTED(HRESULT, SetVertexShaderConstantF, (UINT, const float*, UINT))                 \
    RECORDING_UNEXPECTED(HRESULT, GetVertexShaderConstantF, (UINT, float*, UINT))                       \
    RECORDING_UNEXPECTED(HRESULT, SetVertexShaderConstantI, (UINT, const int*, UINT))                   \
    RECORDING_UNEXPECTED(HRESULT, GetVertexShaderConstantI, (UINT, int*, UINT))                         \
    RECORDING_UNEXPECTED(HRESULT, SetVertexShaderConstantB, (UINT, const WINBOOL*, UINT))               \
    RECORDING_UNEXPECTED(HRESULT, GetVertexShaderConstantB, (UINT, WINBOOL*, UINT))                     \
    RECORDING_UNEXPECTED(HRESULT, SetStreamSource, (UINT, IDirect3DVertexBuffer9*, UINT, UINT))         \
    RECORDING_UNEXPECTED(HRESULT, GetStreamSource, (UINT, IDirect3DVertexBuffer9**, UINT*, UINT*))      \
    RECORDING_UNEXPECTED(HRESULT, SetStreamSourceFreq, (UINT, UINT))                                    \
    RECORDING_UNEXPECTED(HRESULT, GetStreamSourceFreq, (UINT, UINT*))                                   \
    RECORDING_UNEXPECTED(HRESULT, SetIndices, (IDirect3DIndexBuffer9*))                                 \
    RECORDING_UNEXPECTED(HRESULT, GetIndices, (IDirect3DIndexBuffer9**))                                \
    RECORDING_UNEXPECTED(HRESULT, CreatePixelShader, (const DWORD*, IDirect3DPixelShader9**))           \
    RECORDING_UNEXPECTED(HRESULT, SetPixelShader, (IDirect3DPixelShader9*))                             \
    RECORDING_UNEXPECTED(HRESULT, GetPixelShader, (IDirect3DPixelShader9**))                            \
    RECORDING_UNEXPECTED(HRESULT, SetPixelShaderConstantF, (UINT, const float*, UINT))                  \
    RECORDING_UNEXPECTED(HRESULT, GetPixelShaderConstantF, (UINT, float*, UINT))                        \
    RECORDING_UNEXPECTED(HRESULT, SetPixelShaderConstantI, (UINT, const int*, UINT))                    \
    RECORDING_UNEXPECTED(HRESULT, GetPixelShaderConstantI, (UINT, int*, UINT))                          \
    RECORDING_UNEXPECTED(HRESULT, SetPixelShaderConstantB, (UINT, const WINBOOL*, UINT))                \
    RECORDING_UNEXPECTED(HRESULT, GetPixelShaderConstantB, (UINT, WINBOOL*, UINT))                      \
    RECORDING_UNEXPECTED(HRESULT, DrawRectPatch, (UINT, const float*, const D3DRECTPATCH_INFO*))        \
    RECORDING_UNEXPECTED(HRESULT, DrawTriPatch, (UINT, const float*, const D3DTRIPATCH_INFO*))          \
    RECORDING_UNEXPECTED(HRESULT, DeletePatch, (UINT))                                                  \
    RECORDING_UNEXPECTED(HRESULT, CreateQuery, (D3DQUERYTYPE, IDirect3DQuery9**))

#define RECORDING_TEXTURE_SDK_METHODS                                                          \
    RECORDING_QUERY_INTERFACE                                                                  \
    RECORDING_UNEXPECTED(HRESULT, GetDevice, (IDirect3DDevice9**))                             \
    RECORDING_UNEXPECTED(HRESULT, SetPrivateData, (REFGUID, const void*, DWORD, DWORD))        \
    RECORDING_UNEXPECTED(HRESULT, GetPrivateData, (REFGUID, void*, DWORD*))                    \
    RECORDING_UNEXPECTED(HRESULT, FreePrivateData, (REFGUID))                                  \
    RECORDING_UNEXPECTED(DWORD, SetPriority, (DWORD))                                          \
    RECORDING_UNEXPECTED(DWORD, GetPriority, ())                                               \
    RECORDING_UNEXPECTED(void, PreLoad, ())                                                    \
    RECORDING_UNEXPECTED(D3DRESOURCETYPE, GetType, ())                                         \
    RECORDING_UNEXPECTED(DWORD, SetLOD, (DWORD))                                               \
    RECORDING_UNEXPECTED(DWORD, GetLOD, ())                                                    \
    RECORDING_UNEXPECTED(DWORD, GetLevelCount, ())                                             \
    RECORDING_UNEXPECTED(HRESULT, SetAutoGenFilterType, (D3DTEXTUREFILTERTYPE))                \
    RECORDING_UNEXPECTED(D3DTEXTUREFILTERTYPE, GetAutoGenFilterType, ())                       \
    RECORDING_UNEXPECTED(void, GenerateMipSubLevels, ())                                       \
    RECORDING_UNEXPECTED(HRESULT, GetLevelDesc, (UINT, D3DSURFACE_DESC*))                      \
    RECORDING_UNEXPECTED(HRESULT, GetSurfaceLevel, (UINT, IDirect3DSurface9**))                \
    RECORDING_UNEXPECTED(HRESULT, LockRect, (UINT, D3DLOCKED_RECT*, const RECT*, DWORD))       \
    RECORDING_UNEXPECTED(HRESULT, UnlockRect, (UINT))                                          \
    RECORDING_UNEXPECTED(HRESULT, AddDirtyRect, (const RECT*))
// clang-format on

#endif
