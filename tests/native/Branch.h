#pragma once

#include "FakePlatform.h"
#include "TarnClient.h"

namespace hostwend::testing {

// The profile of a branch, named on the command line.
inline constexpr wchar_t kBranchProfile[] = L"C:\\Sites\\branch.ini";

// A branch's computer: a TARN client whose port and DisableTCPBcast are
// numbers (1 and 0), the rest "old", and a profile with an address for every type.
inline void SeedBranch(FakePlatform& machine)
{
    for (std::size_t i = 0; i < kTarnValues.size(); ++i) {
        if (i == 4 || i == 5)
            machine.SetDword(kTarnValues[i].first, kTarnValues[i].second, i == 4 ? 1 : 0);
        else
            machine.SetString(kTarnValues[i].first, kTarnValues[i].second, "old");
    }
    machine.ordinaryFiles[kBranchProfile] = L"branch.ini";
    machine.profileFilePath = kBranchProfile;
    machine.SetProfileEntry("SETUP", "LanAddress", "10.1.2.3");
    machine.SetProfileEntry("SETUP", "VPNAddress", "10.0.0.7");
    machine.SetProfileEntry("SETUP", "VsatAddress", "172.20.4.2");
    machine.SetProfileEntry("SETUP", "OthersAddress", "server1.example.net");
    machine.SetProfileEntry("SETUP", "BcastUDPPort", "7777");
}

} // namespace hostwend::testing
