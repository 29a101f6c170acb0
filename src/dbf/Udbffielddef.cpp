#include "dbf/Udbffielddef.h"
