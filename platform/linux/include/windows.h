// The Windows API subset NVesk calls, implemented for Linux by platform/linux.
#pragma once

#include "windef.h"
#include "winerror.h"
#include "winbase.h"
#include "winnls.h"
#include "winuser.h"
