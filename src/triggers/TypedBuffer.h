#pragma once

#include <array>
#include <cstddef>
#include <string>

namespace ks {

// The characters recently typed on the desktop, as typed and upper-cased,
// in fixed storage: appending never allocates. A full buffer keeps only its
// last kKept characters before the next one goes in, so trimming happens at
// most once every kCapacity - kKept characters.
class TypedBuffer {
public:
    static constexpr std::size_t kCapacity = 1000;
    static constexpr std::size_t kKept = 100;

    void append(char32_t ch);
    void dropLast() {
        if (size_ > 0) --size_;
    }
    void clear() { size_ = 0; }

    std::size_t size() const { return size_; }
    // The character `back` places before the end: 0 is the last one typed.
    char32_t typedFromEnd(std::size_t back) const { return typed_[size_ - 1 - back]; }
    char32_t foldedFromEnd(std::size_t back) const { return folded_[size_ - 1 - back]; }
    std::u32string text() const { return {typed_.data(), size_}; }

private:
    std::array<char32_t, kCapacity> typed_{};
    std::array<char32_t, kCapacity> folded_{};
    std::size_t size_ = 0;
};

}  // namespace ks
