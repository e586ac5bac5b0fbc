#include "ipl/ipl.h"
#include "ipl/ipl_internal.h"
