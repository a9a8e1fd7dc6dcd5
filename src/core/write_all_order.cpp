#include "write_all_order.h"

#include "model/register_addresses.h"

#include <algorithm>

namespace orbalis {

namespace {

std::array<int, WriteAllCount> buildOrder()
{
    std::array<int, WriteAllCount> order{};
    size_t n = 0;
    for (int a = 0; a < HoldingRegisterCount; ++a)
        if (a != reg::OUTL && a != reg::RUN && a != reg::BAUD && a != reg::ID)
            order[n++] = a;
    order[n++] = reg::RUN;
    return order;
}

} // namespace

const std::array<int, WriteAllCount> &writeAllOrder()
{
    static const std::array<int, WriteAllCount> order = buildOrder();
    return order;
}

bool inWriteAllOrder(int address)
{
    const auto &order = writeAllOrder();
    return std::find(order.begin(), order.end(), address) != order.end();
}

} // namespace orbalis
