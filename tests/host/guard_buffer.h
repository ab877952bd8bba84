// A buffer of `size` bytes whose end touches a no-access page, so that
// reading even one byte past its end faults at once.
//
//   sim::GuardBuffer buffer(size);  buffer.data(); buffer.size();
//   sim::GuardBuffer::PageAfter(buffer.data() + buffer.size()) is inaccessible.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sim {

class GuardBuffer {
public:
    explicit GuardBuffer(size_t size);
    ~GuardBuffer();
    GuardBuffer(const GuardBuffer&) = delete;
    GuardBuffer& operator=(const GuardBuffer&) = delete;

    uint8_t* data() { return data_; }
    size_t size() const { return size_; }

private:
    uint8_t* base_ = nullptr;   // start of the reservation
    uint8_t* data_ = nullptr;   // ends exactly where the guard page starts
    size_t size_;
};

}  // namespace sim
