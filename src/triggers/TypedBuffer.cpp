#include "triggers/TypedBuffer.h"

#include <algorithm>

#include "core/Utf8.h"

namespace ks {

void TypedBuffer::append(char32_t ch) {
    if (size_ == kCapacity) {
        std::copy(typed_.end() - kKept, typed_.end(), typed_.begin());
        std::copy(folded_.end() - kKept, folded_.end(), folded_.begin());
        size_ = kKept;
    }
    typed_[size_] = ch;
    folded_[size_] = utf8::upperChar(ch);
    ++size_;
}

}  // namespace ks
