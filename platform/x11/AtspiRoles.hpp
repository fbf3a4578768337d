#pragma once
#include <atspi/atspi.h>

#include <string>

// How an AT-SPI role reads as an accessibility role and subrole.
struct AXRoleName {
  const char* role;
  const char* subrole;  // "" when there is none
};

namespace AtspiRoles {

// The role alone; states and the parent's role refine a few (see AtspiRoles.cpp).
AXRoleName of(AtspiRole role);
// With the facts that tell toggles, switches, disclosure triangles, secure and
// multi-line fields, editable combo boxes and menu-bar items apart.
AXRoleName refined(AtspiRole role, AtspiStateSet* states, AtspiRole parentRole);
bool isWindow(AtspiRole role);

}  // namespace AtspiRoles
