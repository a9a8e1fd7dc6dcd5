#pragma once

#include <QString>
#include <vector>

namespace orbalis::sim {

// Writes programDir/"User Setting.ini" with the default settings and slots
// 0, 1, ... bound to the given controllers (at most 16), named "Oven 1",
// "Oven 2", ... in slot order ("Oven1", ... when the names would not fit
// their record). An existing file is never touched: returns
// false then. Throws orbalis::Error when the file cannot be written.
bool Write_Initial_Settings(const QString &programDir, const std::vector<int> &ids);

} // namespace orbalis::sim
