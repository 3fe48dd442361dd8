// The Windows API subset NVesk calls, implemented for Linux by platform/linux.
#pragma once

#include "winbase.h"
#include "windef.h"
#include "winerror.h"
#include "winnls.h"
#include "winuser.h"
