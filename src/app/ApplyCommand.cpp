#include "app/ApplyCommand.h"

namespace hostwend {

void CmdApply_Click(Platform&, ProfileState&) {}

} // namespace hostwend
