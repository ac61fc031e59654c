#pragma once

// Ref<T>: a strong, nullable reference to a reference-counted runtime object. Copying retains,
// destruction releases. adopt() takes over a reference the caller already owns (a new object).

#include <cstddef>
#include <type_traits>
#include <utility>

template <typename T> class Ref {
public:
    Ref() = default;
    Ref(std::nullptr_t) {}
    Ref(T* object) : m_ptr(object) { retainIfNotNull(); }
    Ref(const Ref& other) : m_ptr(other.m_ptr) { retainIfNotNull(); }
    Ref(Ref&& other) noexcept : m_ptr(std::exchange(other.m_ptr, nullptr)) {}
    template <typename U, typename = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    Ref(const Ref<U>& other) : m_ptr(other.get()) {
        retainIfNotNull();
    }
    template <typename U, typename = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    Ref(Ref<U>&& other) noexcept : m_ptr(other.leak()) {}
    ~Ref() { releaseIfNotNull(); }

    Ref& operator=(const Ref& other) {
        Ref copy(other);
        swap(copy);
        return *this;
    }
    Ref& operator=(Ref&& other) noexcept {
        Ref moved(std::move(other));
        swap(moved);
        return *this;
    }
    template <typename U, typename = std::enable_if_t<std::is_convertible_v<U*, T*> && !std::is_same_v<U, T>>>
    Ref& operator=(Ref<U> other) {
        Ref moved(std::move(other));
        swap(moved);
        return *this;
    }
    Ref& operator=(T* object) {
        Ref copy(object);
        swap(copy);
        return *this;
    }
    Ref& operator=(std::nullptr_t) {
        Ref empty;
        swap(empty);
        return *this;
    }

    static Ref adopt(T* object) {
        Ref ref;
        ref.m_ptr = object;
        return ref;
    }

    T* get() const { return m_ptr; }
    T* operator->() const { return m_ptr; }
    T& operator*() const { return *m_ptr; }
    operator T*() const { return m_ptr; }
    explicit operator bool() const { return m_ptr != nullptr; }

    // Gives up ownership without releasing.
    T* leak() { return std::exchange(m_ptr, nullptr); }
    void swap(Ref& other) noexcept { std::swap(m_ptr, other.m_ptr); }

private:
    void retainIfNotNull() {
        if (m_ptr)
            m_ptr->retain();
    }
    void releaseIfNotNull() {
        if (m_ptr)
            std::exchange(m_ptr, nullptr)->release();
    }

    T* m_ptr = nullptr;
};

template <typename T> Ref<T> adopt_ref(T* object) {
    return Ref<T>::adopt(object);
}
