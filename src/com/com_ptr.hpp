// ComPtr<T>: owns one reference to a COM interface. The names follow WRL's
// ComPtr (MinGW's copy of it AddRefs in Attach, so it is not used here):
// Attach adopts a reference, Detach gives it away, GetAddressOf and
// ReleaseAndGetAddressOf serve out-parameters.
#pragma once

#include <unknwn.h>

#include <cstddef>
#include <utility>

namespace quelder::com {

template <typename T>
class ComPtr {
public:
    using InterfaceType = T;

    ComPtr() noexcept = default;
    ComPtr(std::nullptr_t) noexcept {}
    // Takes a reference of its own.
    template <typename U>
    ComPtr(U* pointer) noexcept : ptr_(pointer) {
        AddRef();
    }
    ComPtr(const ComPtr& other) noexcept : ptr_(other.ptr_) { AddRef(); }
    template <typename U>
    ComPtr(const ComPtr<U>& other) noexcept : ptr_(other.Get()) {
        AddRef();
    }
    ComPtr(ComPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
    template <typename U>
    ComPtr(ComPtr<U>&& other) noexcept : ptr_(other.Detach()) {}
    ~ComPtr() { Reset(); }

    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(ptr_, other.ptr_);
        return *this;
    }
    ComPtr& operator=(std::nullptr_t) noexcept {
        Reset();
        return *this;
    }

    T* Get() const noexcept { return ptr_; }
    T* operator->() const noexcept { return ptr_; }
    explicit operator bool() const noexcept { return ptr_ != nullptr; }

    T* const* GetAddressOf() const noexcept { return &ptr_; }
    T** GetAddressOf() noexcept { return &ptr_; }
    T** ReleaseAndGetAddressOf() noexcept {
        Reset();
        return &ptr_;
    }
    // Adopts a reference the caller owned (no AddRef).
    void Attach(T* pointer) noexcept {
        Reset();
        ptr_ = pointer;
    }
    // Gives the reference to the caller (no Release).
    T* Detach() noexcept { return std::exchange(ptr_, nullptr); }
    void Reset() noexcept {
        if (T* old = std::exchange(ptr_, nullptr)) old->Release();
    }

    template <typename U>
    HRESULT As(ComPtr<U>* other) const noexcept {
        if (ptr_ == nullptr) return E_POINTER;
        return ptr_->QueryInterface(__uuidof(U), reinterpret_cast<void**>(other->ReleaseAndGetAddressOf()));
    }

private:
    void AddRef() const noexcept {
        if (ptr_ != nullptr) ptr_->AddRef();
    }
    T* ptr_ = nullptr;
};

}  // namespace quelder::com
