// CRCs computed most significant bit first, with no reflection and no final
// XOR, as FLAC's frame headers (CRC-8, 0x07), FLAC's frames (CRC-16, 0x8005)
// and Ogg's pages (CRC-32, 0x04C11DB7) use them: zlib's CRC-32 is the
// reflected kind and fits none of them.
#pragma once

#include <array>
#include <cstdint>

#include "ntfs/byte_reader.h"

namespace verandol {

template <typename Value, Value kPolynomial>
class MsbCrc {
public:
    static constexpr int kBits = 8 * sizeof(Value);

    static constexpr Value Update(Value crc, std::uint8_t byte) {
        const auto index = static_cast<std::uint8_t>((crc >> (kBits - 8)) ^ byte);
        if constexpr (kBits == 8) return kTable[index];
        else return static_cast<Value>(static_cast<Value>(crc << 8) ^ kTable[index]);
    }
    static constexpr Value Update(Value crc, ByteSpan bytes) {
        for (const std::uint8_t b : bytes) crc = Update(crc, b);
        return crc;
    }

private:
    static constexpr std::array<Value, 256> MakeTable() {
        std::array<Value, 256> table{};
        constexpr Value kTop = static_cast<Value>(Value{1} << (kBits - 1));
        for (unsigned i = 0; i < 256; ++i) {
            auto crc = static_cast<Value>(static_cast<Value>(i) << (kBits - 8));
            for (int bit = 0; bit < 8; ++bit)
                crc = static_cast<Value>((crc & kTop) ? static_cast<Value>(crc << 1) ^ kPolynomial : crc << 1);
            table[i] = crc;
        }
        return table;
    }
    static constexpr std::array<Value, 256> kTable = MakeTable();
};

using FlacCrc8 = MsbCrc<std::uint8_t, 0x07>;
using FlacCrc16 = MsbCrc<std::uint16_t, 0x8005>;
using OggCrc32 = MsbCrc<std::uint32_t, 0x04C11DB7>;

}  // namespace verandol
