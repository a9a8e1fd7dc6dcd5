#pragma once

#include "base/error.h"

#include <QByteArray>
#include <array>
#include <cstdint>
#include <initializer_list>

namespace orbalis::test {

inline QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

inline QByteArray Frame_Bytes(const std::array<std::uint8_t, 8> &frame)
{
    return QByteArray(reinterpret_cast<const char *>(frame.data()), qsizetype(frame.size()));
}

// The number of the orbalis::Error the call raises; 0 when it raises none.
template <class Call>
int Error_Number_Of(Call &&call)
{
    try {
        call();
    } catch (const Error &e) {
        return e.number();
    }
    return 0;
}

} // namespace orbalis::test
