#pragma once
// The lead bytes of code page 932: the first byte of every two-byte code.
// Free of Qt, so that the build's table generator shares it with the codec
// and the store.

namespace cp932 {

constexpr bool Is_lead_byte(unsigned char b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

}  // namespace cp932
