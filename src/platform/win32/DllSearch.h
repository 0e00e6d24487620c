#pragma once

namespace hostwend {

// Both programs run with administrator rights: a DLL planted beside them or in
// the current directory must never load. Call first thing in the entry point.
void RestrictDllSearch();

} // namespace hostwend
