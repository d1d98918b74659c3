#include "host/windows/dds_texture.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>
#include <vector>

#include "host/common/dds/dds.h"
#include "host/common/files/input_file.h"

namespace {

// D3DX's error for files it cannot load (d3dx9.h: MAKE_DDHRESULT(2905)).
const HRESULT kInvalidData = MAKE_D3DHRESULT(2905);

// Larger files than this are not textures of ours (a full 8192 x 8192
// A8R8G8B8 chain is about 358 MB), and would not fit beside their decoded
// pixels in a 32-bit process.
constexpr uint64_t kMaxFileBytes = uint64_t{512} << 20;

struct Releaser {
    void operator()(IDirect3DTexture9* texture) const { texture->Release(); }
};

// A compressed file with its mip levels goes up as it is; anything else is
// decoded, and a single image gets the chain D3DX would build for it.
bool keeps_file_data(const dds::Image& image)
{
    return dds::format_info(image.format).compressed && image.level_count > 1;
}

// Copies rows of `row_bytes` into a locked level whose rows are `pitch` apart.
void copy_rows(const uint8_t* source, size_t row_bytes, uint32_t rows, const D3DLOCKED_RECT& locked)
{
    auto* destination = static_cast<uint8_t*>(locked.pBits);
    for (uint32_t row = 0; row < rows; ++row) {
        std::memcpy(destination + static_cast<size_t>(locked.Pitch) * row, source + row_bytes * row,
                    row_bytes);
    }
}

HRESULT upload_level(IDirect3DTexture9* texture, UINT level, const uint8_t* source,
                     size_t row_bytes, uint32_t rows)
{
    D3DLOCKED_RECT locked{};
    const HRESULT result = texture->LockRect(level, &locked, nullptr, 0);
    if (FAILED(result)) {
        return result;
    }
    copy_rows(source, row_bytes, rows, locked);
    return texture->UnlockRect(level);
}

HRESULT upload_file_levels(IDirect3DTexture9* texture, const dds::Image& image)
{
    const uint32_t block_bytes = dds::format_info(image.format).unit_bytes;
    for (uint32_t i = 0; i < image.level_count; ++i) {
        const dds::Level& level = image.levels[i];
        const uint32_t block_columns = std::max(1u, (level.width + 3) / 4);
        const uint32_t block_rows = std::max(1u, (level.height + 3) / 4);
        const HRESULT result = upload_level(texture, i, level.bytes.data(),
                                            size_t{block_columns} * block_bytes, block_rows);
        if (FAILED(result)) {
            return result;
        }
    }
    return D3D_OK;
}

// RGBA bytes to A8R8G8B8, whose bytes in memory run B, G, R, A.
void swap_red_and_blue(std::vector<uint8_t>& pixels)
{
    for (size_t i = 0; i + 3 < pixels.size(); i += 4) {
        std::swap(pixels[i], pixels[i + 2]);
    }
}

// Level i comes from the file when it holds one, else from box-filtering
// level i - 1, as D3DX's default mip filter does.
HRESULT upload_decoded_levels(IDirect3DTexture9* texture, const dds::Image& image,
                              uint32_t level_count)
{
    uint32_t width = image.width;
    uint32_t height = image.height;
    std::vector<uint8_t> rgba;
    std::vector<uint8_t> bgra;
    for (uint32_t i = 0; i < level_count; ++i) {
        if (i < image.level_count) {
            rgba.resize(dds::rgba8_size(width, height));
            dds::decode_rgba8(image.format, image.levels[i], rgba);
        }
        bgra = rgba;
        swap_red_and_blue(bgra);
        const HRESULT result = upload_level(texture, i, bgra.data(), size_t{width} * 4, height);
        if (FAILED(result)) {
            return result;
        }
        const uint32_t next_width = dds::mip_dimension(width, 1);
        const uint32_t next_height = dds::mip_dimension(height, 1);
        if (i + 1 < level_count && i + 1 >= image.level_count) {
            std::vector<uint8_t> next(dds::rgba8_size(next_width, next_height));
            dds::downsample_rgba8(rgba, width, height, next);
            rgba = std::move(next);
        }
        width = next_width;
        height = next_height;
    }
    return D3D_OK;
}

HRESULT load_texture(IDirect3DDevice9* device, const char* path, IDirect3DTexture9** texture)
{
    const files::Contents file = files::read_file(path, kMaxFileBytes);
    if (file.failure == files::Failure::out_of_memory) {
        return E_OUTOFMEMORY;
    }
    if (!file.ok()) {
        return kInvalidData;
    }
    const dds::ParseResult parsed = dds::parse(file.bytes);
    if (!parsed.ok) {
        return kInvalidData;
    }
    const dds::Image& image = parsed.image;

    const bool keep = keeps_file_data(image);
    const UINT level_count = image.level_count > 1
                                 ? image.level_count
                                 : dds::full_chain_length(image.width, image.height);
    const D3DFORMAT format =
        keep ? static_cast<D3DFORMAT>(dds::format_info(image.format).d3d_format) : D3DFMT_A8R8G8B8;

    IDirect3DTexture9* made = nullptr;
    HRESULT result = device->CreateTexture(image.width, image.height, level_count, 0, format,
                                           D3DPOOL_MANAGED, &made, nullptr);
    if (FAILED(result)) {
        return result;
    }
    // Released on every way out but success, an exception included.
    std::unique_ptr<IDirect3DTexture9, Releaser> owned(made);
    result =
        keep ? upload_file_levels(made, image) : upload_decoded_levels(made, image, level_count);
    if (FAILED(result)) {
        return result;
    }
    *texture = owned.release();
    return D3D_OK;
}

}  // namespace

HRESULT create_texture_from_dds_file(IDirect3DDevice9* device, const char* path,
                                     IDirect3DTexture9** texture)
{
    if (device == nullptr || path == nullptr || texture == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    // The decoded levels of a large texture may not fit in a 32-bit
    // process; the texture made for them is released as the stack unwinds.
    try {
        return load_texture(device, path, texture);
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    return E_OUTOFMEMORY;
}
