#include "digest/block_hash.h"

#include <cstring>

#include "digest/bytes.h"

BlockHash::BlockHash(void* state, uint32_t state_size, void* buffer, uint32_t block_size)
    : state_(static_cast<uint8_t*>(state)), buffer_(static_cast<uint8_t*>(buffer)),
      state_size_(state_size), block_size_(block_size), buffered_(0), byte_count_{0, 0}
{
}

uint32_t BlockHash::digest_size() { return state_size_; }

uint32_t BlockHash::block_size() { return block_size_; }

void BlockHash::update(const void* data, uint32_t length)
{
    if (length == 0)
        return;
    const uint32_t low = byte_count_.low + length;
    if (low < byte_count_.low)
        ++byte_count_.high;
    byte_count_.low = low;

    const uint8_t* p = static_cast<const uint8_t*>(data);
    while (length > 0) {
        if (buffered_ == 0 && length >= block_size_) {
            const uint32_t blocks = length / block_size_;
            transform_blocks(p, blocks);
            p += blocks * block_size_;
            length -= blocks * block_size_;
            continue;
        }
        uint32_t n = block_size_ - buffered_;
        if (n > length)
            n = length;
        std::memcpy(buffer_ + buffered_, p, n);
        buffered_ += n;
        if (buffered_ == block_size_) {
            transform();
            buffered_ = 0;
        }
        p += n;
        length -= n;
    }
}

void BlockHash::transform_blocks(const uint8_t* data, uint32_t blocks)
{
    for (uint32_t i = 0; i < blocks; ++i, data += block_size_) {
        std::memcpy(buffer_, data, block_size_);
        transform();
    }
}

void BlockHash::reset_state(const void* initial_value)
{
    if (initial_value)
        std::memcpy(state_, initial_value, state_size_);
    else
        std::memset(state_, 0, state_size_);
    buffered_ = 0;
    byte_count_ = {0, 0};
}

void BlockHash::pad_to(uint32_t position)
{
    if (buffered_ > position) {
        std::memset(buffer_ + buffered_, 0, block_size_ - buffered_);
        transform();
        buffered_ = 0;
    }
    if (buffered_ < position)
        std::memset(buffer_ + buffered_, 0, position - buffered_);
    buffered_ = position;
}

void BlockHash::bit_length_le64(uint8_t out[8]) const
{
    store_le32(out, byte_count_.low << 3);
    store_le32(out + 4, byte_count_.high << 3 | byte_count_.low >> 29);
}

void BlockHash::bit_length_be64(uint8_t out[8]) const
{
    store_be32(out, byte_count_.high << 3 | byte_count_.low >> 29);
    store_be32(out + 4, byte_count_.low << 3);
}

void BlockHash::bit_length_be128(uint8_t out[16]) const
{
    std::memset(out, 0, 7);
    out[7] = uint8_t(byte_count_.high >> 29);
    bit_length_be64(out + 8);
}

void BlockHash::bit_length_be256(uint8_t out[32]) const
{
    std::memset(out, 0, 16);
    bit_length_be128(out + 16);
}

void BlockHash::finish_padded(uint32_t position, const uint8_t* length_field, uint32_t field_size)
{
    static const uint8_t marker = 0x80;
    update(&marker, 1);
    pad_to(position);
    update(length_field, field_size);
}

void BlockHash::finish_marked(uint32_t position, uint8_t marker, const uint8_t* length_field,
                              uint32_t field_size)
{
    static const uint8_t padding_start = 0x80;
    if (buffered_ == position) {
        const uint8_t both = padding_start | marker;
        update(&both, 1);
    } else {
        update(&padding_start, 1);
        pad_to(position);
        update(&marker, 1);
    }
    update(length_field, field_size);
}

void BlockHash::update_keeping_last_block(const void* data, uint32_t length)
{
    if (length == 0)
        return;
    const uint32_t low = byte_count_.low + length;
    if (low < byte_count_.low)
        ++byte_count_.high;
    byte_count_.low = low;

    const uint8_t* p = static_cast<const uint8_t*>(data);
    while (length > 0) {
        if (buffered_ == block_size_) {
            transform();
            buffered_ = 0;
        }
        uint32_t n = block_size_ - buffered_;
        if (n > length)
            n = length;
        std::memcpy(buffer_ + buffered_, p, n);
        buffered_ += n;
        p += n;
        length -= n;
    }
}

void BlockHash::finish_le64()
{
    uint8_t length[8];
    bit_length_le64(length);
    finish_padded(56, length, sizeof length);
}

void BlockHash::finish_be64()
{
    uint8_t length[8];
    bit_length_be64(length);
    finish_padded(56, length, sizeof length);
}

void BlockHash::finish_be128()
{
    uint8_t length[16];
    bit_length_be128(length);
    finish_padded(112, length, sizeof length);
}

void BlockHash::write_le32_words(uint8_t* out, uint32_t bytes) const
{
    uint8_t all[HashAlgorithm::max_digest_size];
    for (uint32_t i = 0; i < (bytes + 3) / 4; ++i) {
        uint32_t w;
        std::memcpy(&w, state_ + 4 * i, 4);
        store_le32(all + 4 * i, w);
    }
    std::memcpy(out, all, bytes);
}

void BlockHash::write_be32_words(uint8_t* out, uint32_t bytes) const
{
    uint8_t all[HashAlgorithm::max_digest_size];
    for (uint32_t i = 0; i < (bytes + 3) / 4; ++i) {
        uint32_t w;
        std::memcpy(&w, state_ + 4 * i, 4);
        store_be32(all + 4 * i, w);
    }
    std::memcpy(out, all, bytes);
}

void BlockHash::write_be64_words(uint8_t* out, uint32_t bytes) const
{
    uint8_t all[HashAlgorithm::max_digest_size];
    for (uint32_t i = 0; i < (bytes + 7) / 8; ++i) {
        uint64_t w;
        std::memcpy(&w, state_ + 8 * i, 8);
        store_be64(all + 8 * i, w);
    }
    std::memcpy(out, all, bytes);
}
