#pragma once

#include "base/error.h"

#include <utility>

namespace orbalis::test {

// The number of the orbalis::Error the call raises; 0 when it raises none.
template <class Call>
int errorNumberOf(Call &&call)
{
    try {
        std::forward<Call>(call)();
    } catch (const Error &e) {
        return e.number();
    }
    return 0;
}

} // namespace orbalis::test
