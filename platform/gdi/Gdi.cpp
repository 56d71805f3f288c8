#include "platform/gdi/Gdi.h"

#include "platform/gdi/DefaultFont.h"
#include "platform/gdi/SurfaceDC.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <variant>
#include <vector>

namespace {

// Handle layout: kind in bits 28..31 (never 0), generation in bits 16..27,
// slot in bits 0..15. Small numbers such as 1 are therefore never handles.
constexpr std::uint32_t KindDc = 1;
constexpr std::uint32_t KindBitmap = 2;
constexpr std::uint32_t MaxSlots = 0x10000;
constexpr std::uint32_t GenerationMask = 0xFFF;
// Freed slots wait in line until this many are free, so a stale handle
// meets a reused slot only after many deletions (and a new generation).
constexpr std::size_t ReuseAfter = 64;

struct FreeDeleter {
    void operator()(std::uint8_t* p) const { std::free(p); }
};

struct BitmapObject {
    int Width = 0;
    int Height = 0;
    int BitsPerPixel = 0;
    int Pitch = 0;
    std::unique_ptr<std::uint8_t, FreeDeleter> Bits;
    std::vector<RGBQUAD> Palette; // 2 entries at 1 bit, 256 at 8 bits, none at 24
    HDC SelectedInto = 0;
    bool Stock = false;
};

struct DcObject {
    bool IsSurface = false;
    PixelBuffer Buffer; // surface contexts only
    HBITMAP Bitmap = 0; // memory contexts only
    COLORREF Background = RGB(255, 255, 255);
    COLORREF Text = RGB(0, 0, 0);
};

struct Slot {
    std::uint32_t Kind = 0; // 0: free
    std::uint32_t Generation = 0;
    std::variant<std::monostate, DcObject, BitmapObject> Object;
};

struct HandleTable {
    std::vector<Slot> Slots;
    std::deque<std::uint32_t> Free;
    HBITMAP StockBitmap = 0;
};

HandleTable& Table() {
    static HandleTable table;
    return table;
}

std::uint32_t MakeHandle(std::uint32_t kind, std::uint32_t generation, std::uint32_t index) {
    return (kind << 28) | ((generation & GenerationMask) << 16) | index;
}

template <typename T> std::uint32_t Add(std::uint32_t kind, T&& object) {
    HandleTable& t = Table();
    std::uint32_t index;
    if (!t.Free.empty() && (t.Free.size() >= ReuseAfter || t.Slots.size() >= MaxSlots)) {
        index = t.Free.front();
        t.Free.pop_front();
    } else if (t.Slots.size() < MaxSlots) {
        index = static_cast<std::uint32_t>(t.Slots.size());
        t.Slots.emplace_back();
    } else {
        return 0;
    }
    Slot& s = t.Slots[index];
    s.Kind = kind;
    s.Object = std::forward<T>(object);
    return MakeHandle(kind, s.Generation, index);
}

Slot* Find(std::uint32_t handle, std::uint32_t kind) {
    HandleTable& t = Table();
    std::uint32_t index = handle & 0xFFFF;
    if ((handle >> 28) != kind || index >= t.Slots.size())
        return nullptr;
    Slot& s = t.Slots[index];
    if (s.Kind != kind || s.Generation != ((handle >> 16) & GenerationMask))
        return nullptr;
    return &s;
}

DcObject* FindDc(HDC dc) {
    Slot* s = Find(dc, KindDc);
    return s ? &std::get<DcObject>(s->Object) : nullptr;
}

BitmapObject* FindBitmap(HGDIOBJ bitmap) {
    Slot* s = Find(bitmap, KindBitmap);
    return s ? &std::get<BitmapObject>(s->Object) : nullptr;
}

void Remove(std::uint32_t handle) {
    HandleTable& t = Table();
    std::uint32_t index = handle & 0xFFFF;
    Slot& s = t.Slots[index];
    s.Kind = 0;
    s.Object = std::monostate{};
    s.Generation = (s.Generation + 1) & GenerationMask;
    t.Free.push_back(index);
}

// The 1x1 monochrome bitmap every memory context starts with.
HBITMAP StockBitmap() {
    HandleTable& t = Table();
    if (t.StockBitmap == 0) {
        BitmapObject b;
        b.Width = 1;
        b.Height = 1;
        b.BitsPerPixel = 1;
        b.Pitch = 2; // monochrome rows are word-aligned
        b.Bits.reset(static_cast<std::uint8_t*>(std::calloc(2, 1)));
        b.Palette = {RGBQUAD{0, 0, 0, 0}, RGBQUAD{255, 255, 255, 0}};
        b.Stock = true;
        if (!b.Bits)
            return 0;
        t.StockBitmap = Add(KindBitmap, std::move(b));
    }
    return t.StockBitmap;
}

// Colour to surface pixel.
std::uint32_t ToPixel565(BYTE r, BYTE g, BYTE b) {
    return ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
}
std::uint32_t ToPixel8888(BYTE r, BYTE g, BYTE b) {
    return (r << 16) | (g << 8) | b;
}

std::uint32_t ToPixel(int bitsPerPixel, COLORREF c) {
    return bitsPerPixel == 16 ? ToPixel565(GetRValue(c), GetGValue(c), GetBValue(c))
                              : ToPixel8888(GetRValue(c), GetGValue(c), GetBValue(c));
}

void PutPixel(std::uint8_t* row, int x, int bitsPerPixel, std::uint32_t pixel) {
    if (bitsPerPixel == 16) {
        std::uint16_t v = static_cast<std::uint16_t>(pixel);
        std::memcpy(row + x * 2, &v, 2);
    } else {
        std::memcpy(row + x * 4, &pixel, 4);
    }
}

// For each destination index 0..count-1 starting at first (relative to the
// destination rectangle), the source coordinate, or -1 when it lies outside
// 0..limit-1.
void MapAxis(std::vector<int>& map, long long first, long long count, long long dstSize,
             long long srcStart, long long srcSize, long long limit) {
    map.resize(static_cast<std::size_t>(count));
    for (long long i = 0; i < count; ++i) {
        long long d = first + i;
        long long s = srcStart + ((2 * d + 1) * srcSize) / (2 * dstSize);
        map[static_cast<std::size_t>(i)] = (s >= 0 && s < limit) ? static_cast<int>(s) : -1;
    }
}

// Source pixel sx of a row in the destination format; lut holds the
// palette in that format.
template <int SrcBits, int DstBits>
std::uint32_t Fetch(const std::uint8_t* srcRow, std::size_t sx, const std::uint32_t* lut) {
    if constexpr (SrcBits == 24) {
        const std::uint8_t* p = srcRow + sx * 3; // blue, green, red
        return DstBits == 16 ? ToPixel565(p[2], p[1], p[0]) : ToPixel8888(p[2], p[1], p[0]);
    } else if constexpr (SrcBits == 8) {
        return lut[srcRow[sx]];
    } else {
        return lut[(srcRow[sx >> 3] >> (7 - (sx & 7))) & 1];
    }
}

template <int DstBits> void Store(std::uint8_t* dstRow, std::size_t i, std::uint32_t pixel) {
    if constexpr (DstBits == 16) {
        const auto v = static_cast<std::uint16_t>(pixel);
        std::memcpy(dstRow + i * 2, &v, 2);
    } else {
        std::memcpy(dstRow + i * 4, &pixel, 4);
    }
}

// One destination row from one source row through the column map.
template <int SrcBits, int DstBits>
void CopyRow(const std::uint8_t* srcRow, std::uint8_t* dstRow, const std::vector<int>& xmap,
             const std::uint32_t* lut) {
    for (std::size_t i = 0; i < xmap.size(); ++i)
        if (xmap[i] >= 0)
            Store<DstBits>(dstRow, i, Fetch<SrcBits, DstBits>(srcRow, std::size_t(xmap[i]), lut));
}

// The common case, a row copied at its own width: source columns First,
// First + 1, ... with no lookups, so the loop stays tight.
template <int SrcBits, int DstBits>
void CopyRun(const std::uint8_t* srcRow, std::uint8_t* dstRow, std::size_t n, std::size_t first,
             const std::uint32_t* lut) {
    std::size_t i = 0;
    if constexpr (SrcBits == 24) {
        // Four pixels (12 bytes) at a time as three words; each pixel is then
        // one value 0xRRGGBB, converted with shifts and masks.
        const std::uint8_t* src = srcRow + first * 3;
        for (; i + 4 <= n; i += 4, src += 12) {
            std::uint32_t w[3];
            std::memcpy(w, src, 12);
            const std::uint32_t p[4] = {w[0] & 0xFFFFFF, (w[0] >> 24) | ((w[1] & 0xFFFF) << 8),
                                        (w[1] >> 16) | ((w[2] & 0xFF) << 16), w[2] >> 8};
            for (int k = 0; k < 4; ++k)
                Store<DstBits>(dstRow, i + k,
                               DstBits == 16 ? ((p[k] >> 8) & 0xF800) | ((p[k] >> 5) & 0x07E0) |
                                                   ((p[k] >> 3) & 0x001F)
                                             : p[k]);
        }
    }
    for (; i < n; ++i)
        Store<DstBits>(dstRow, i, Fetch<SrcBits, DstBits>(srcRow, first + i, lut));
}

template <int SrcBits, int DstBits>
void CopyRows(const BitmapObject& src, const PixelBuffer& dst, int left, int top,
              const std::vector<int>& xmap, const std::vector<int>& ymap) {
    std::uint32_t lut[256] = {};
    if constexpr (SrcBits != 24) {
        for (std::size_t i = 0; i < src.Palette.size() && i < 256; ++i) {
            const RGBQUAD& q = src.Palette[i];
            lut[i] = DstBits == 16 ? ToPixel565(q.rgbRed, q.rgbGreen, q.rgbBlue)
                                   : ToPixel8888(q.rgbRed, q.rgbGreen, q.rgbBlue);
        }
        // Entries past the palette stay 0: black in both formats.
    }
    const int bytes = DstBits / 8;
    // The map never decreases and leaves the bitmap only at its ends, so
    // valid ends one step apart per pixel mean every column in turn.
    const bool run = !xmap.empty() && xmap.front() >= 0 && xmap.back() >= 0 &&
                     std::size_t(xmap.back() - xmap.front()) == xmap.size() - 1;
    for (std::size_t j = 0; j < ymap.size(); ++j) {
        if (ymap[j] < 0)
            continue;
        const std::uint8_t* srcRow = src.Bits.get() + std::size_t(ymap[j]) * src.Pitch;
        std::uint8_t* dstRow =
            dst.Pixels + (std::size_t(top) + j) * dst.Pitch + std::size_t(left) * bytes;
        if (run)
            CopyRun<SrcBits, DstBits>(srcRow, dstRow, xmap.size(), std::size_t(xmap.front()), lut);
        else
            CopyRow<SrcBits, DstBits>(srcRow, dstRow, xmap, lut);
    }
}

bool UsableBuffer(const PixelBuffer& b) {
    if (!b.Pixels || b.Width <= 0 || b.Height <= 0)
        return false;
    if (b.BitsPerPixel != 16 && b.BitsPerPixel != 32)
        return false;
    return b.Pitch >= static_cast<long long>(b.Width) * (b.BitsPerPixel / 8);
}

} // namespace

HDC CreateSurfaceDC(const PixelBuffer& Buffer) {
    if (!UsableBuffer(Buffer))
        return 0;
    DcObject dc;
    dc.IsSurface = true;
    dc.Buffer = Buffer;
    return Add(KindDc, std::move(dc));
}

BOOL ReleaseSurfaceDC(HDC Dc) {
    DcObject* dc = FindDc(Dc);
    if (!dc || !dc->IsSurface)
        return FALSE;
    Remove(Dc);
    return TRUE;
}

HDC CreateCompatibleDC(HDC Dc) {
    if (Dc != 0 && !FindDc(Dc))
        return 0;
    HBITMAP stock = StockBitmap();
    if (stock == 0)
        return 0;
    DcObject dc;
    dc.Bitmap = stock;
    return Add(KindDc, std::move(dc));
}

BOOL DeleteDC(HDC Dc) {
    DcObject* dc = FindDc(Dc);
    if (!dc || dc->IsSurface)
        return FALSE;
    if (BitmapObject* b = FindBitmap(dc->Bitmap); b && !b->Stock)
        b->SelectedInto = 0;
    Remove(Dc);
    return TRUE;
}

HGDIOBJ SelectObject(HDC Dc, HGDIOBJ Object) {
    DcObject* dc = FindDc(Dc);
    BitmapObject* b = FindBitmap(Object);
    if (!dc || !b || dc->IsSurface)
        return 0;
    if (!b->Stock && b->SelectedInto != 0 && b->SelectedInto != Dc)
        return 0;
    HBITMAP previous = dc->Bitmap;
    if (previous == Object)
        return previous;
    if (BitmapObject* old = FindBitmap(previous); old && !old->Stock)
        old->SelectedInto = 0;
    if (!b->Stock)
        b->SelectedInto = Dc;
    dc->Bitmap = Object;
    return previous;
}

int GetObjectA(HGDIOBJ Object, int Size, void* Buffer) {
    BitmapObject* b = FindBitmap(Object);
    if (!b)
        return 0;
    if (!Buffer)
        return static_cast<int>(sizeof(BITMAP));
    if (Size <= 0)
        return 0;
    BITMAP info{};
    info.bmType = 0;
    info.bmWidth = b->Width;
    info.bmHeight = b->Height;
    info.bmWidthBytes = b->Pitch;
    info.bmPlanes = 1;
    info.bmBitsPixel = static_cast<WORD>(b->BitsPerPixel);
    info.bmBits = b->Stock ? nullptr : b->Bits.get();
    std::size_t n = std::min(static_cast<std::size_t>(Size), sizeof(BITMAP));
    std::memcpy(Buffer, &info, n);
    return static_cast<int>(n);
}

BOOL DeleteObject(HGDIOBJ Object) {
    BitmapObject* b = FindBitmap(Object);
    if (!b)
        return FALSE;
    if (b->Stock)
        return TRUE;
    if (b->SelectedInto != 0)
        return FALSE;
    Remove(Object);
    return TRUE;
}

HBITMAP CreateTopDownDIB(LONG Width, LONG Height, WORD BitsPerPixel, const RGBQUAD* Colors,
                         UINT ColorCount, void** Bits) {
    if (Bits)
        *Bits = nullptr;
    if (Width <= 0 || Height <= 0)
        return 0;
    if (BitsPerPixel == 8) {
        if (!Colors || ColorCount == 0 || ColorCount > 256)
            return 0;
    } else if (BitsPerPixel != 24) {
        return 0;
    }
    const long long pitch = ((static_cast<long long>(Width) * BitsPerPixel + 31) / 32) * 4;
    const long long size = pitch * Height;
    if (size > 0x7FFFFFFF)
        return 0;
    BitmapObject b;
    b.Width = Width;
    b.Height = Height;
    b.BitsPerPixel = BitsPerPixel;
    b.Pitch = static_cast<int>(pitch);
    // calloc: zero pages are handed out lazily, so a large bitmap costs only
    // what is written to it.
    b.Bits.reset(static_cast<std::uint8_t*>(std::calloc(static_cast<std::size_t>(size), 1)));
    if (!b.Bits)
        return 0;
    if (BitsPerPixel == 8) {
        b.Palette.assign(Colors, Colors + ColorCount);
        b.Palette.resize(256); // missing entries are black
    }
    void* bits = b.Bits.get();
    HBITMAP handle = Add(KindBitmap, std::move(b));
    if (handle != 0 && Bits)
        *Bits = bits;
    return handle;
}

BOOL StretchBlt(HDC Dst, int X, int Y, int W, int H, HDC Src, int Sx, int Sy, int Sw, int Sh,
                DWORD Rop) {
    if (Rop != SRCCOPY || W <= 0 || H <= 0 || Sw <= 0 || Sh <= 0)
        return FALSE;
    DcObject* dst = FindDc(Dst);
    DcObject* src = FindDc(Src);
    if (!dst || !src || !dst->IsSurface || src->IsSurface)
        return FALSE;
    BitmapObject* bitmap = FindBitmap(src->Bitmap);
    if (!bitmap)
        return FALSE;
    const PixelBuffer& buffer = dst->Buffer;

    // Clip the destination rectangle to the surface.
    const long long left = std::max<long long>(X, 0);
    const long long top = std::max<long long>(Y, 0);
    const long long right = std::min<long long>(static_cast<long long>(X) + W, buffer.Width);
    const long long bottom = std::min<long long>(static_cast<long long>(Y) + H, buffer.Height);
    if (left >= right || top >= bottom)
        return TRUE; // nothing of it is on the surface

    std::vector<int> xmap, ymap;
    MapAxis(xmap, left - X, right - left, W, Sx, Sw, bitmap->Width);
    MapAxis(ymap, top - Y, bottom - top, H, Sy, Sh, bitmap->Height);

    const int l = static_cast<int>(left), t = static_cast<int>(top);
    const bool to16 = buffer.BitsPerPixel == 16;
    switch (bitmap->BitsPerPixel) {
    case 24:
        to16 ? CopyRows<24, 16>(*bitmap, buffer, l, t, xmap, ymap)
             : CopyRows<24, 32>(*bitmap, buffer, l, t, xmap, ymap);
        break;
    case 8:
        to16 ? CopyRows<8, 16>(*bitmap, buffer, l, t, xmap, ymap)
             : CopyRows<8, 32>(*bitmap, buffer, l, t, xmap, ymap);
        break;
    case 1:
        to16 ? CopyRows<1, 16>(*bitmap, buffer, l, t, xmap, ymap)
             : CopyRows<1, 32>(*bitmap, buffer, l, t, xmap, ymap);
        break;
    default:
        return FALSE;
    }
    return TRUE;
}

COLORREF SetBkColor(HDC Dc, COLORREF Colour) {
    DcObject* dc = FindDc(Dc);
    if (!dc)
        return CLR_INVALID;
    COLORREF previous = dc->Background;
    dc->Background = Colour;
    return previous;
}

COLORREF SetTextColor(HDC Dc, COLORREF Colour) {
    DcObject* dc = FindDc(Dc);
    if (!dc)
        return CLR_INVALID;
    COLORREF previous = dc->Text;
    dc->Text = Colour;
    return previous;
}

BOOL TextOutA(HDC Dc, int X, int Y, const char* Text, int Length) {
    DcObject* dc = FindDc(Dc);
    if (!dc || !dc->IsSurface || Length < 0 || (!Text && Length > 0))
        return FALSE;
    if (Length == 0)
        return TRUE;
    const PixelBuffer& b = dc->Buffer;
    const long long left = std::max<long long>(X, 0);
    const long long top = std::max<long long>(Y, 0);
    const long long right =
        std::min<long long>(X + static_cast<long long>(Length) * DefaultFontWidth, b.Width);
    const long long bottom =
        std::min<long long>(static_cast<long long>(Y) + DefaultFontHeight, b.Height);
    if (left >= right || top >= bottom)
        return TRUE;
    const std::uint32_t background = ToPixel(b.BitsPerPixel, dc->Background);
    const std::uint32_t foreground = ToPixel(b.BitsPerPixel, dc->Text);
    for (long long y = top; y < bottom; ++y) {
        std::uint8_t* row = b.Pixels + static_cast<std::size_t>(y) * b.Pitch;
        const int glyphRow = static_cast<int>(y - Y);
        for (long long x = left; x < right; ++x) {
            const long long offset = x - X;
            const auto ch = static_cast<unsigned char>(Text[offset / DefaultFontWidth]);
            const int bit = 7 - static_cast<int>(offset % DefaultFontWidth);
            const bool ink = (DefaultFontGlyphs[ch][glyphRow] >> bit) & 1;
            PutPixel(row, static_cast<int>(x), b.BitsPerPixel, ink ? foreground : background);
        }
    }
    return TRUE;
}
