#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace hostwend {

inline constexpr std::wstring_view kLocalMachineName = L"HKEY_LOCAL_MACHINE";

// One value an apply rewrites: where it is, what it receives, when, and what
// the operator is told when it cannot be rewritten.
struct ApplyStep {
    std::wstring_view keyPath;
    std::wstring_view valueName;
    std::wstring (*compose)(std::wstring_view address, std::wstring_view port);
    bool onlyForVsat;
    std::wstring_view prompt;  // as operators have always seen it, spelling included
    bool carriesAddress;       // holds the address in one of its forms
};

inline constexpr std::size_t kApplyStepCount = 8;

// The values an apply rewrites, in the order it rewrites them. The window, the
// console program's check, apply, undo and show all walk this one table.
const std::array<ApplyStep, kApplyStepCount>& ApplySteps();

// The address a step's data carries, undoing its composition; false when the
// data does not have that step's form.
bool AddressCarried(const ApplyStep& step, std::wstring_view data, std::wstring& address);

} // namespace hostwend
