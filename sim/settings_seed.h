#pragma once

#include <QString>
#include <vector>

namespace orbalis::sim {

// Writes programDir/"User Setting.ini" with the default settings and slots
// 0, 1, ... bound to the given controllers (at most 16), named "Oven1",
// "Oven2", ... in slot order. An existing file is never touched: returns
// false then. Throws orbalis::Error when the file cannot be written.
bool writeInitialSettings(const QString &programDir, const std::vector<int> &ids);

} // namespace orbalis::sim
