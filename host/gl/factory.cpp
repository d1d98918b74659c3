// Direct3DCreate9 and the factory: it makes devices and nothing else.
#include "host/gl/device.h"
#include "host/gl/live_objects.h"

namespace host_d3d9 {
namespace {

class Direct3D9 final : public IDirect3D9 {
public:
    ULONG AddRef() override { return ++references_; }

    ULONG Release() override
    {
        if (references_ == 0) {
            return 0;
        }
        if (--references_ > 0) {
            return references_;
        }
        delete this;
        return 0;
    }

    HRESULT CreateDevice(UINT adapter, D3DDEVTYPE device_type, HWND focus_window, DWORD,
                         D3DPRESENT_PARAMETERS* params, IDirect3DDevice9** device) override
    {
        if (device != nullptr) {
            *device = nullptr;
        }
        if (device == nullptr || params == nullptr) {
            set_last_error("CreateDevice needs presentation parameters and a place for the device");
            return D3DERR_INVALIDCALL;
        }
        if (adapter != D3DADAPTER_DEFAULT) {
            set_last_error("there is only adapter 0");
            return D3DERR_INVALIDCALL;
        }
        if (device_type != D3DDEVTYPE_HAL && device_type != D3DDEVTYPE_REF) {
            set_last_error("only HAL and REF devices are available");
            return D3DERR_NOTAVAILABLE;
        }
        // The device window defaults to the focus window; with neither the
        // device is offscreen.
        HWND window = params->hDeviceWindow != nullptr ? params->hDeviceWindow : focus_window;
        GlDevice* created = nullptr;
        const HRESULT result = GlDevice::create(this, window, params, &created);
        if (SUCCEEDED(result)) {
            *device = created;
        }
        return result;
    }

private:
    ~Direct3D9() = default;

    ULONG references_ = 1;
    LiveObject live_{ObjectKind::factory};
};

}  // namespace
}  // namespace host_d3d9

// Any SDK version is accepted: there is only one implementation to choose.
IDirect3D9* WINAPI Direct3DCreate9(UINT)
{
    return new host_d3d9::Direct3D9();
}
