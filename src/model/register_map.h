#pragma once

#include <span>
#include <string_view>
#include <vector>

namespace orbalis {

constexpr int HoldingRegisterCount = 109;   // addresses 0..108
constexpr int InputRegisterBase = 4096;     // addresses 4096..4125
constexpr int InputRegisterCount = 30;

enum class ValueKind { Unsigned, Signed, Tenths, Scaled, Choice, Time32, Hex16 };

// How the parameter window shows an address. Input registers 4100, 4102 and
// 4104 (low halves of a Time32) have no control of their own.
enum class ControlKind { TextBox, ComboBox, None };

// Tab page of the parameter window that carries the address's frame.
enum class Page { LeftColumn, User, PID, Option, Output, Program, Aux };

// An enumeration owns the contiguous choice codes first..first+items-1.
struct Enumeration {
    int firstCode;
    std::vector<std::string_view> items;  // item 0 first, texts exactly as shown
    int lastCode() const { return firstCode + int(items.size()) - 1; }
};

struct RegisterInfo {
    int address;
    std::string_view mnemonic;
    ControlKind control;
    std::string_view frame;
    Page page;
    ValueKind kind;
    const Enumeration *enumeration;  // Choice only, else nullptr
    std::string_view initialText;    // text before the first read; empty with noInitialText
    bool noInitialText;              // a combo box that starts with nothing selected
    bool listOnly;                   // a combo box the user cannot type into
};

// 109 holding registers in address order.
std::span<const RegisterInfo> holdingRegisters();
// 30 input registers in address order (4096..4125).
std::span<const RegisterInfo> inputRegisters();
// nullptr for addresses outside both spaces.
const RegisterInfo *findRegister(int address);
// Every distinct enumeration, in ascending code order.
std::span<const Enumeration *const> enumerations();

} // namespace orbalis
