#pragma once
// Recording fakes of the two DirectDraw interfaces. They write every call
// into one shared log, in order, and answer scripted results. The test owns
// them; their counts start at 0 and count only references handed out, so a
// count back at 0 means every holder gave its one reference back.
#include "platform/ddraw/DDraw.h"
#include "platform/gdi/SurfaceDC.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <deque>
#include <string>
#include <vector>

using CallLog = std::vector<std::string>;

inline std::string Hex(std::uint32_t Value) {
    char Text[16];
    std::snprintf(Text, sizeof Text, "0x%X", Value);
    return Text;
}

class FakeSurface : public IDirectDrawSurface7 {
public:
    FakeSurface(CallLog& Log, std::string Name) : Log(Log), Name(std::move(Name)) {}
    ~FakeSurface() override { EXPECT_EQ(Refs, 0) << Name << " still referenced"; }

    DWORD AddRef() override { return ++Refs; }
    DWORD Release() override {
        Log.push_back(Name + ".Release");
        if (Refs == 0) {
            ADD_FAILURE() << Name << " released more often than referenced";
            return 0;
        }
        return --Refs;
    }

    HRESULT GetAttachedSurface(DDSCAPS2* Caps, IDirectDrawSurface7** Surface) override {
        Log.push_back(Name + ".GetAttachedSurface(" + Hex(Caps->dwCaps) + "," + Hex(Caps->dwCaps2) +
                      "," + Hex(Caps->dwCaps3) + "," + Hex(Caps->dwCaps4) + ")");
        *Surface = nullptr;
        if (SUCCEEDED(AttachedResult) && Attached != nullptr) {
            Attached->AddRef();
            *Surface = Attached;
        }
        return AttachedResult;
    }
    HRESULT BltFast(DWORD X, DWORD Y, IDirectDrawSurface7* Source, const RECT* SourceRect,
                    DWORD Flags) override {
        auto* From = dynamic_cast<FakeSurface*>(Source);
        Log.push_back(Name + ".BltFast(" + std::to_string(X) + "," + std::to_string(Y) + "," +
                      (From ? From->Name : std::string(Source ? "?" : "null")) + "," +
                      (SourceRect ? "rect" : "null") + "," + Hex(Flags) + ")");
        LastSourceRect = SourceRect;
        return BltFastResult;
    }
    HRESULT Flip(IDirectDrawSurface7* Target, DWORD Flags) override {
        Log.push_back(Name + ".Flip(" + (Target ? "target" : "null") + "," + Hex(Flags) + ")");
        if (FlipResults.empty())
            return S_OK;
        HRESULT Result = FlipResults.front();
        FlipResults.pop_front();
        return Result;
    }
    HRESULT Restore() override {
        Log.push_back(Name + ".Restore");
        return RestoreResult;
    }
    HRESULT GetSurfaceDesc(DDSURFACEDESC2* Asked) override {
        Log.push_back(Name + ".GetSurfaceDesc(size=" + std::to_string(Asked->dwSize) +
                      ",flags=" + Hex(Asked->dwFlags) + ")");
        DWORD Size = Asked->dwSize;
        *Asked = Desc;
        Asked->dwSize = Size;
        return S_OK;
    }
    HRESULT GetDC(HDC* Dc) override {
        Log.push_back(Name + ".GetDC");
        *Dc = 0;
        if (FAILED(GetDCResult))
            return GetDCResult;
        *Dc = CurrentDC = Pixels.Pixels ? CreateSurfaceDC(Pixels) : 0x5EED;
        return S_OK;
    }
    HRESULT ReleaseDC(HDC Dc) override {
        Log.push_back(Name + ".ReleaseDC");
        EXPECT_EQ(Dc, CurrentDC) << Name << ": a context it did not hand out";
        if (Pixels.Pixels)
            ReleaseSurfaceDC(Dc); // given back even when the fake then answers a failure
        CurrentDC = 0;
        return ReleaseDCResult;
    }

    // Gives the fake 16-bit pixels of its own that GetDC draws onto.
    void UsePixels(int Width, int Height, std::uint16_t Fill) {
        Memory.assign(static_cast<std::size_t>(Width) * Height, Fill);
        Pixels.Pixels = reinterpret_cast<std::uint8_t*>(Memory.data());
        Pixels.Width = Width;
        Pixels.Height = Height;
        Pixels.Pitch = Width * 2;
        Pixels.BitsPerPixel = 16;
        Desc.dwWidth = static_cast<DWORD>(Width);
        Desc.dwHeight = static_cast<DWORD>(Height);
        Desc.ddpfPixelFormat.dwFlags = DDPF_RGB;
        Desc.ddpfPixelFormat.dwRGBBitCount = 16;
    }
    std::uint16_t At(int X, int Y) const {
        return Memory[static_cast<std::size_t>(Y) * Pixels.Width + X];
    }

    CallLog& Log;
    const std::string Name;
    DWORD Refs = 0;

    FakeSurface* Attached = nullptr;
    HRESULT AttachedResult = S_OK;
    HRESULT BltFastResult = S_OK;
    std::deque<HRESULT> FlipResults; // S_OK once they run out
    HRESULT RestoreResult = S_OK;
    HRESULT GetDCResult = S_OK;
    HRESULT ReleaseDCResult = S_OK;
    DDSURFACEDESC2 Desc{};
    const RECT* LastSourceRect = nullptr;

    std::vector<std::uint16_t> Memory;
    PixelBuffer Pixels;
    HDC CurrentDC = 0;
};

class FakeDirectDraw : public IDirectDraw7 {
public:
    FakeDirectDraw(CallLog& Log, std::string Name) : Log(Log), Name(std::move(Name)) {}
    ~FakeDirectDraw() override { EXPECT_EQ(Refs, 0) << Name << " still referenced"; }

    DWORD AddRef() override { return ++Refs; }
    DWORD Release() override {
        Log.push_back(Name + ".Release");
        if (Refs == 0) {
            ADD_FAILURE() << Name << " released more often than referenced";
            return 0;
        }
        return --Refs;
    }
    HRESULT SetCooperativeLevel(HWND Window, DWORD Flags) override {
        Log.push_back(Name + ".SetCooperativeLevel(" + std::to_string(Window) + "," + Hex(Flags) +
                      ")");
        return CooperativeResult;
    }
    HRESULT SetDisplayMode(DWORD Width, DWORD Height, DWORD Bits, DWORD Refresh,
                           DWORD Flags) override {
        Log.push_back(Name + ".SetDisplayMode(" + std::to_string(Width) + "," +
                      std::to_string(Height) + "," + std::to_string(Bits) + "," +
                      std::to_string(Refresh) + "," + Hex(Flags) + ")");
        return ModeResult;
    }
    HRESULT CreateSurface(DDSURFACEDESC2* Desc, IDirectDrawSurface7** Surface,
                          IUnknown* Outer) override {
        LastDesc = Desc;
        Log.push_back(Name + ".CreateSurface(size=" + std::to_string(Desc->dwSize) + ",flags=" +
                      Hex(Desc->dwFlags) + ",caps=" + Hex(Desc->ddsCaps.dwCaps) + ",caps234=" +
                      Hex(Desc->ddsCaps.dwCaps2 | Desc->ddsCaps.dwCaps3 | Desc->ddsCaps.dwCaps4) +
                      ",backbuffers=" + std::to_string(Desc->dwBackBufferCount) + ",w=" +
                      std::to_string(Desc->dwWidth) + ",h=" + std::to_string(Desc->dwHeight) +
                      ",outer=" + (Outer ? "set" : "null") + ")");
        *Surface = nullptr;
        if (SUCCEEDED(SurfaceResult) && Made != nullptr) {
            Made->AddRef();
            *Surface = Made;
        }
        return SurfaceResult;
    }

    CallLog& Log;
    const std::string Name;
    DWORD Refs = 0;
    HRESULT CooperativeResult = S_OK;
    HRESULT ModeResult = S_OK;
    HRESULT SurfaceResult = S_OK;
    FakeSurface* Made = nullptr; // handed out by CreateSurface
    DDSURFACEDESC2* LastDesc = nullptr;
};

// Puts a factory behind DirectDrawCreateEx for the life of the object; each
// creation hands out the next fake of the queue and logs its arguments.
class FactoryScope {
public:
    explicit FactoryScope(CallLog& Log) : Log(Log) {
        Previous = SetDirectDrawFactory([this](const GUID* Driver, IDirectDraw7** Out,
                                               const GUID& Iid, IUnknown* Outer) {
            this->Log.push_back(std::string("DirectDrawCreateEx(") + (Driver ? "guid" : "null") +
                                "," + (Iid == IID_IDirectDraw7 ? "IID_IDirectDraw7" : "other") +
                                "," + (Outer ? "set" : "null") + ")");
            *Out = nullptr;
            if (Queue.empty())
                return DDERR_NODIRECTDRAWSUPPORT;
            auto [Object, Result] = Queue.front();
            Queue.pop_front();
            if (Object != nullptr && SUCCEEDED(Result)) {
                Object->AddRef();
                *Out = Object;
            }
            return Result;
        });
    }
    ~FactoryScope() { SetDirectDrawFactory(std::move(Previous)); }
    FactoryScope(const FactoryScope&) = delete;
    FactoryScope& operator=(const FactoryScope&) = delete;

    void Next(FakeDirectDraw* Object, HRESULT Result = S_OK) { Queue.push_back({Object, Result}); }

private:
    CallLog& Log;
    DirectDrawFactory Previous;
    std::deque<std::pair<FakeDirectDraw*, HRESULT>> Queue;
};

inline std::string Joined(const CallLog& Log) {
    std::string Text;
    for (const std::string& Call : Log)
        Text += Call + "\n";
    return Text;
}
