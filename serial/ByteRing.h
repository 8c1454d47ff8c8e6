#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace serial {

// A byte queue of fixed capacity, sized when the port opens, so that queueing and taking bytes
// allocate nothing: the decoded input waiting to be read, the buffered-write queue. Not locked:
// the owner locks.
class ByteRing {
public:
    void resize(std::size_t capacity) {
        ring_.assign(std::max<std::size_t>(capacity, 1), 0);
        head_ = count_ = 0;
    }
    void clear() { head_ = count_ = 0; }
    std::size_t size() const { return count_; }
    std::size_t room() const { return ring_.size() - count_; }
    // The byte pushed last; only when not empty.
    std::uint8_t back() const { return ring_[(head_ + count_ - 1) % ring_.size()]; }
    bool push(std::uint8_t b) {
        if (count_ == ring_.size()) return false;
        ring_[(head_ + count_) % ring_.size()] = b;
        ++count_;
        return true;
    }
    std::size_t pop(std::uint8_t* out, std::size_t max) {
        const std::size_t n = std::min(max, count_);
        for (std::size_t i = 0; i < n; ++i) out[i] = ring_[(head_ + i) % ring_.size()];
        head_ = (head_ + n) % ring_.size();
        count_ -= n;
        return n;
    }

private:
    std::vector<std::uint8_t> ring_ = std::vector<std::uint8_t>(4096);
    std::size_t head_ = 0, count_ = 0;
};

}  // namespace serial
