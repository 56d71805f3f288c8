#pragma once
// A holder of one reference to a reference-counted interface (AddRef/Release).
// Each ComPtr owns exactly one reference: copying adds one, destroying,
// resetting or overwriting gives it back. Not thread-safe; neither are the
// objects it holds.
#include <cstddef>
#include <utility>

template <class T> class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    // Takes a reference of its own on Object (the caller keeps theirs).
    explicit ComPtr(T* Object) : Ptr(Object) {
        if (Ptr)
            Ptr->AddRef();
    }
    ComPtr(const ComPtr& Other) : ComPtr(Other.Ptr) {}
    ComPtr(ComPtr&& Other) noexcept : Ptr(std::exchange(Other.Ptr, nullptr)) {}
    ~ComPtr() { Reset(); }

    ComPtr& operator=(const ComPtr& Other) {
        ComPtr(Other).Swap(*this);
        return *this;
    }
    ComPtr& operator=(ComPtr&& Other) noexcept {
        ComPtr(std::move(Other)).Swap(*this);
        return *this;
    }
    ComPtr& operator=(std::nullptr_t) {
        Reset();
        return *this;
    }

    // Adopts a reference the caller already owns (no AddRef).
    static ComPtr Attach(T* Object) {
        ComPtr Result;
        Result.Ptr = Object;
        return Result;
    }
    // Hands the reference to the caller, who must Release it.
    [[nodiscard]] T* Detach() { return std::exchange(Ptr, nullptr); }

    void Reset() {
        if (T* Old = std::exchange(Ptr, nullptr))
            Old->Release();
    }
    // Empties the holder and gives the address of its pointer to a call that
    // fills it with a reference of its own ("the address of the emptied field").
    T** ReleaseAndGetAddressOf() {
        Reset();
        return &Ptr;
    }

    T* Get() const { return Ptr; }
    T* operator->() const { return Ptr; }
    explicit operator bool() const { return Ptr != nullptr; }
    void Swap(ComPtr& Other) noexcept { std::swap(Ptr, Other.Ptr); }

private:
    T* Ptr = nullptr;
};
