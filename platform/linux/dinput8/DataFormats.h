// The standard data formats, compared by content: a copy of c_dfDIMouse is the mouse format too.
#pragma once

#include <dinput.h>

namespace nvesk::dinput8 {

bool SameDataFormat(const DIDATAFORMAT& a, const DIDATAFORMAT& b);

}  // namespace nvesk::dinput8
