#include "netwatch/IdAddressText.h"

namespace vantrel {

std::wstring IPv4ToText(const unsigned char* fourBytes)
{
    std::wstring text;
    text.reserve(15);
    for (int i = 0; i < 4; ++i) {
        if (i > 0) text += L'.';
        text += std::to_wstring(fourBytes[i]);
    }
    return text;
}

std::wstring IPv6ToText(const unsigned char* sixteenBytes)
{
    static constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
    std::wstring text;
    text.reserve(39);
    for (int group = 0; group < 8; ++group) {
        if (group > 0) text += L':';
        unsigned value = (static_cast<unsigned>(sixteenBytes[2 * group]) << 8) | sixteenBytes[2 * group + 1];
        bool started = false;
        for (int shift = 12; shift >= 0; shift -= 4) {
            unsigned digit = (value >> shift) & 0xF;
            if (digit != 0 || started || shift == 0) {
                text += kDigits[digit];
                started = true;
            }
        }
    }
    return text;
}

std::wstring FixedFieldText(const char* field, std::size_t capacity)
{
    std::wstring text;
    for (std::size_t i = 0; i < capacity && field[i] != '\0'; ++i) {
        text += static_cast<wchar_t>(static_cast<unsigned char>(field[i]));
    }
    return text;
}

void TIdAddressMaskTable::Add(std::wstring address, std::wstring mask)
{
    rows_.emplace_back(std::move(address), std::move(mask));
}

std::wstring TIdAddressMaskTable::MaskOf(const std::wstring& address) const
{
    for (const auto& row : rows_) {
        if (row.first == address) return row.second;
    }
    return {};
}

}  // namespace vantrel
